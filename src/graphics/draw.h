// Shapes shared by the controls, the skin and the editor, built from the surface's lines and
// rectangles so they keep its pixel rules.
#pragma once

#include "graphics/graphic.h"

/// Ramp modes of drawGradient besides alignLeft (along x) and alignTop (along y).
enum { gradientMirrorY = 2048, gradientMirrorX = 4096 };

/// Filled box with its four corner pixels left out.
void roundRect(CGraphic* g, int col, CRect r);
/// Outline with cut corners.
void roundFrame(CGraphic* g, int col, CRect r);
void drawGradient(CGraphic* g, CRect r, int c1, int c2, int mode);
/// Solid fill with a lighter ramp on the upper half (amount > 0) or the lower half.
void drawGlossy(CGraphic* g, CRect r, int col, float amount, int inset);
void drawCheck(CGraphic* g, int col, CRect r);
/// Solid triangle of size + 1 lines centred in r, pointing in direction dir.
void drawArrow(CGraphic* g, int col, CRect r, int dir, int size);
void drawCloseButton(CGraphic* g, CRect r, int col);
/// Colour between c1 (t = 0) and c2 (t = 1).
int fadeCol(int c1, int c2, float t);
int addBrightness(int col, int delta);
