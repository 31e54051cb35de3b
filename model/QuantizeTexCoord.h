#pragma once

// A texture coordinate rounded to six decimals, halves away from zero,
// exactly as writing it with six decimals and reading the text back would
// give. The sign is kept: the game repeats the texture, so u = -0.3 is
// sampled at 0.7, never at 0.3. Not-finite values and -0 become 0.
double QuantizeTexCoord(float value);
