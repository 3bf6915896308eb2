// Integer geometry and packed colours shared by every drawing operation.
#pragma once

/// Rectangle in pixels; right and bottom are exclusive.
struct CRect {
    int left;
    int top;
    int right;
    int bottom;
};

struct CPoint {
    int x;
    int y;
};

CRect asRect(int l, int t, int r, int b);
CRect sizeRect(CRect rect, int dl, int dt, int dr, int db);
CPoint asPoint(int x, int y);
CPoint addPos(CPoint p, CPoint q);
/// Orders the pair so that a <= b.
void sort(int& a, int& b);
int asMin(int a, int b);
int asMax(int a, int b);
/// lo when v < lo, else the smaller of v and hi.
int asMinMax(int v, int lo, int hi);
float fLimit(float v, float lo, float hi);
/// Bit depth of every bitmap the system creates.
int screenDepth();

constexpr int clampComponent(int c) {
    return c < 0 ? 0 : c > 255 ? 255 : c;
}

/// Colour integer 0x00BBGGRR; each component is clamped to 0..255.
constexpr int asColor(int r, int g, int b) {
    return clampComponent(r) + (clampComponent(g) << 8) + (clampComponent(b) << 16);
}

void asRGB2(int c, int& r, int& g, int& b);

extern int clWhite;
extern int clBlack;
extern int clRed;
extern int clGreen;
extern int clBlue;
extern int clGray;
