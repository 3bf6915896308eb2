#include "graphics/geometry.h"

// Constant-initialised, so other globals may read them during start-up.
int clWhite = asColor(255, 255, 255);
int clBlack = asColor(0, 0, 0);
int clRed = asColor(255, 0, 0);
int clGreen = asColor(0, 128, 0);
int clBlue = asColor(0, 0, 255);
int clGray = asColor(128, 128, 128);

CRect asRect(int l, int t, int r, int b) {
    return CRect{l, t, r, b};
}

CRect sizeRect(CRect rect, int dl, int dt, int dr, int db) {
    return CRect{rect.left + dl, rect.top + dt, rect.right + dr, rect.bottom + db};
}

CPoint asPoint(int x, int y) {
    return CPoint{x, y};
}

CPoint addPos(CPoint p, CPoint q) {
    return CPoint{p.x + q.x, p.y + q.y};
}

void sort(int& a, int& b) {
    if (a > b) {
        int t = a;
        a = b;
        b = t;
    }
}

int asMin(int a, int b) {
    return a < b ? a : b;
}
int asMax(int a, int b) {
    return a > b ? a : b;
}

int asMinMax(int v, int lo, int hi) {
    return v < lo ? lo : asMin(v, hi);
}

float fLimit(float v, float lo, float hi) {
    if (lo > v) return lo;
    if (v > hi) return hi;
    return v;
}

int screenDepth() {
    return 32;
}

void asRGB2(int c, int& r, int& g, int& b) {
    r = c & 255;
    g = (c >> 8) & 255;
    b = (c >> 16) & 255;
}
