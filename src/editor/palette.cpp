#include "editor/palette.h"

#include "graphics/geometry.h"

// Constant-initialised, so no other file's static initialisation can see them unset; colText is
// the value of clWhite.
int colBk = asColor(128, 128, 128);
int colPanel = asColor(160, 160, 160);
int colDark = asColor(40, 40, 40);
int colLow = asColor(64, 64, 64);
int colLeds = asColor(254, 128, 32);
int colText = asColor(255, 255, 255);
