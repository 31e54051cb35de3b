#pragma once

// The absolute value of a texture coordinate, rounded to six decimals with
// halves rounded up, exactly as writing it with six decimals and reading the
// text back would give. Not-finite values become 0.
double QuantizeTexCoord(float value);
