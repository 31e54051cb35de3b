#pragma once
// The colours of the program's face, shared by the style sheets (the art
// program draws the pictures in the same ones).
#define GW_RGB_ACCENT "rgb(236, 132, 34)" // orange: selection, checked buttons
#define GW_RGB_INK "rgb(20, 22, 26)"      // text on the accent
