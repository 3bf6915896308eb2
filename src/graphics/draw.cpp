#include "graphics/draw.h"

#include <cmath>

#include "foundation/str.h"

namespace {
int rampColor(int c1, int c2, float f) {
    int r1, g1, b1, r2, g2, b2;
    asRGB2(c1, r1, g1, b1);
    asRGB2(c2, r2, g2, b2);
    return asColor(r1 + asRound((r2 - r1) * f), g1 + asRound((g2 - g1) * f),
                   b1 + asRound((b2 - b1) * f));
}

// Share of the ramp at step i of n; a ramp of no steps stays at its first colour.
float ramp(int i, int n) {
    return n > 0 ? static_cast<float>(i) / n : 0.0f;
}

void rampLineAlongX(CGraphic* g, CRect r, int x, int col) {
    g->setLineCol(col);
    g->drawLine(x, r.top, x, r.bottom);
}

void rampLineAlongY(CGraphic* g, CRect r, int y, int col) {
    g->setLineCol(col);
    g->drawLine(r.left, y, r.right, y);
}
} // namespace

void roundRect(CGraphic* g, int col, CRect r) {
    g->setLineCol(col);
    g->drawLine(r.left + 1, r.top, r.right - 1, r.top);
    g->fillRect(col, asRect(r.left, r.top + 1, r.right, r.bottom - 1));
    g->drawLine(r.left + 1, r.bottom - 1, r.right - 1, r.bottom - 1);
}

void roundFrame(CGraphic* g, int col, CRect r) {
    int l = r.left, t = r.top, rt = r.right, b = r.bottom;
    g->setLineCol(col);
    g->drawLine(l + 1, t, rt - 1, t);
    g->drawLine(rt - 2, t + 1, rt, t + 1);
    g->drawLine(rt - 1, t + 2, rt - 1, b - 2);
    g->drawLine(rt - 2, b - 2, rt, b - 2);
    g->drawLine(rt - 2, b - 1, l, b - 1);
    g->drawLine(l, b - 2, l + 2, b - 2);
    g->drawLine(l, b - 3, l, t + 1);
    g->drawLine(l, t + 1, l + 2, t + 1);
}

void drawGradient(CGraphic* g, CRect r, int c1, int c2, int mode) {
    int w = r.right - r.left, h = r.bottom - r.top;
    switch (mode) {
    case alignLeft:
        for (int x = r.left; x < r.right; x++)
            rampLineAlongX(g, r, x, rampColor(c1, c2, ramp(x - r.left, w)));
        break;
    case alignTop:
        for (int y = r.top; y < r.bottom; y++)
            rampLineAlongY(g, r, y, rampColor(c1, c2, ramp(y - r.top, h)));
        break;
    case gradientMirrorY: {
        int half = h / 2;
        for (int y = r.top; y < r.top + half; y++)
            rampLineAlongY(g, r, y, rampColor(c1, c2, ramp(y - r.top, half)));
        for (int y = r.top + half; y < r.bottom; y++)
            rampLineAlongY(g, r, y, rampColor(c1, c2, 1.0f - ramp(y - r.top - half, half)));
        break;
    }
    case gradientMirrorX: {
        int half = w / 2;
        for (int x = r.left; x < r.left + half; x++)
            rampLineAlongX(g, r, x, rampColor(c1, c2, ramp(x - r.left, half)));
        for (int x = r.left + half; x < r.right; x++)
            rampLineAlongX(g, r, x, rampColor(c1, c2, 1.0f - ramp(x - r.left - half, half)));
        break;
    }
    default:
        break;
    }
}

void drawGlossy(CGraphic* g, CRect r, int col, float amount, int inset) {
    g->fillRect(col, r);
    int hi = fadeCol(col, clWhite, std::fabs(amount));
    int mid = fadeCol(col, hi, 0.25f);
    int h = r.bottom - r.top;
    if (amount > 0)
        drawGradient(g, asRect(r.left + inset, r.top + inset, r.right - inset, r.top + h / 2 + 1),
                     hi, mid, alignTop);
    else
        drawGradient(g, asRect(r.left + inset, r.top + h / 2, r.right - inset, r.bottom), mid, hi,
                     alignTop);
}

void drawCheck(CGraphic* g, int col, CRect r) {
    int h = (r.bottom - r.top) / 2;
    int x = r.left + 5;
    int y = r.top + h + 1;
    g->setLineCol(col);
    for (int k = 0; k < 2; k++) {
        g->drawLine(x, y - k, x + 2, y + 2 - k);
        g->drawLine(x + 2, y + 2 - k, x + 7, y - 3 - k);
    }
}

void drawArrow(CGraphic* g, int col, CRect r, int dir, int size) {
    int cx = r.left + (r.right - r.left) / 2;
    int cy = r.top + (r.bottom - r.top) / 2;
    int half = size / 2;
    g->setLineCol(col);
    for (int i = 0; i <= size; i++) {
        switch (dir) {
        case alignTop:
            g->drawLine(cx - i, cy + half - size + i, cx + i + 1, cy + half - size + i);
            break;
        case alignBottom:
            g->drawLine(cx - i, cy + size - half - i, cx + i + 1, cy + size - half - i);
            break;
        case alignLeft:
            g->drawLine(cx + half - size + i, cy - i, cx + half - size + i, cy + i + 1);
            break;
        case alignRight:
            g->drawLine(cx + size - half - i, cy - i, cx + size - half - i, cy + i + 1);
            break;
        default:
            return;
        }
    }
}

void drawCloseButton(CGraphic* g, CRect r, int col) {
    int l = r.left, t = r.top, rt = r.right, b = r.bottom;
    g->setLineCol(col);
    g->drawLine(l + 3, t + 3, rt - 3, b - 3);
    g->drawLine(l + 4, t + 3, rt - 3, b - 4);
    g->drawLine(l + 3, t + 4, rt - 4, b - 3);
    g->drawLine(l + 3, b - 5, rt - 4, t + 2);
    g->drawLine(l + 3, b - 4, rt - 3, t + 2);
    g->drawLine(l + 4, b - 4, rt - 3, t + 3);
}

int fadeCol(int c1, int c2, float t) {
    int r1, g1, b1, r2, g2, b2;
    asRGB2(c1, r1, g1, b1);
    asRGB2(c2, r2, g2, b2);
    auto mix = [t](int a, int b) {
        return asRound(static_cast<float>(b - a) * t + static_cast<float>(a));
    };
    return asColor(mix(r1, r2), mix(g1, g2), mix(b1, b2));
}

int addBrightness(int col, int delta) {
    int r, g, b;
    asRGB2(col, r, g, b);
    return asColor(r + delta, g + delta, b + delta);
}
