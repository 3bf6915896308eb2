#include "graphics/graphic.h"

#include "graphics/bitmap.h"

namespace {
int stepTowards(int from, int to) {
    return to > from ? to - 1 : to < from ? to + 1 : to;
}
int absolute(int v) {
    return v < 0 ? -v : v;
}

// Moves a start forward to lo and an end back to hi, so the span stays inside the clip.
void clipSpan(int& start, int& end, int lo, int hi) {
    start += asMax(0, lo - start);
    end -= asMax(0, end - hi);
}
} // namespace

void CGraphic::setLineCol(int col) {
    lineCol = col;
    fillCol = col;
}

void CGraphic::setFillCol(int col) {
    fillCol = col;
}

void CGraphic::drawLine(int x0, int y0, int x1, int y1) {
    x0 += origin.x;
    x1 += origin.x;
    y0 += origin.y;
    y1 += origin.y;
    if (!context) return;
    x1 = stepTowards(x0, x1);
    y1 = stepTowards(y0, y1);
    if (x0 == x1 && y0 == y1) {
        // a single pixel is a filled square, so it takes the fill colour
        fillSurfaceRect(fillCol, x0, y0, 1, 1);
        return;
    }
    plotSegment(x0, y0, x1, y1);
}

// Lights both ends and one pixel per step along the longer axis, in the line colour.
void CGraphic::plotSegment(int x0, int y0, int x1, int y1) {
    if (y0 == y1) {
        fillSurfaceRect(lineCol, asMin(x0, x1), y0, absolute(x1 - x0) + 1, 1);
        return;
    }
    if (x0 == x1) {
        fillSurfaceRect(lineCol, x0, asMin(y0, y1), 1, absolute(y1 - y0) + 1);
        return;
    }
    int dx = absolute(x1 - x0), dy = -absolute(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        fillSurfaceRect(lineCol, x0, y0, 1, 1);
        if (x0 == x1 && y0 == y1) break;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void CGraphic::fillRect(int col, CRect r) {
    setFillCol(col);
    fillRect(r);
}

void CGraphic::fillRect(CRect r) {
    sort(r.left, r.right);
    sort(r.top, r.bottom);
    r = sizeRect(r, origin.x, origin.y, origin.x, origin.y);
    if (!context) return;
    if (r.left >= clip.right || r.right < clip.left || r.top >= clip.bottom || r.bottom < clip.top)
        return;
    r.left = asMax(r.left, clip.left);
    r.top = asMax(r.top, clip.top);
    r.right = asMin(r.right, clip.right);
    r.bottom = asMin(r.bottom, clip.bottom);
    if (r.right > r.left && r.bottom > r.top)
        fillSurfaceRect(fillCol, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void CGraphic::frameRect(int col, CRect r) {
    setLineCol(col);
    frameRect(r);
}

// Four lines whose left-out end pixels are each drawn by the next line, lighting exactly the
// border; each line is shortened to the part inside the clip.
void CGraphic::frameRect(CRect r) {
    sort(r.left, r.right);
    sort(r.top, r.bottom);
    int ox = origin.x, oy = origin.y;
    if (r.left + ox >= clip.right || r.right + ox <= clip.left || r.top + oy >= clip.bottom ||
        r.bottom + oy <= clip.top)
        return;
    int clipL = clip.left - ox, clipR = clip.right - ox;
    int clipT = clip.top - oy, clipB = clip.bottom - oy;
    if (r.top >= clipT) clippedLine(r.left, r.top, r.right - 1, r.top);
    if (r.right - 1 < clipR) clippedLine(r.right - 1, r.top, r.right - 1, r.bottom);
    if (r.bottom - 1 < clipB) clippedLine(r.left, r.bottom - 1, r.right - 1, r.bottom - 1);
    if (r.left >= clipL) clippedLine(r.left, r.top, r.left, r.bottom - 1);
}

// A horizontal or vertical line (local coordinates) cut to the clip before drawing.
void CGraphic::clippedLine(int x0, int y0, int x1, int y1) {
    if (y0 == y1)
        clipSpan(x0, x1, clip.left - origin.x, clip.right - origin.x);
    else
        clipSpan(y0, y1, clip.top - origin.y, clip.bottom - origin.y);
    drawLine(x0, y0, x1, y1);
}

void CGraphic::drawText(int col, const CStr& text, CRect r, int align, int) {
    r = sizeRect(r, origin.x, origin.y, origin.x, origin.y);
    setFillCol(col);
    if (!context || !text.asChar()) return;
    int w = textWidth(text);
    int x = r.left + ((r.right - r.left) - w) / 2;
    if (align & alignLeft)
        x = r.left;
    else if (align & alignRight)
        x = r.right - w;
    int y = fontSize / 3 + (r.bottom - r.top) / 2 + r.top;
    showText(col, text.asChar(), x, y);
}

int CGraphic::textWidth(const CStr& text) {
    if (!context || !text.asChar()) return 0;
    return static_cast<int>(textAdvance(text.asChar()));
}

CRect CGraphic::addClip(CRect r) {
    CRect previous = clip;
    clip.left = asMax(0, asMax(clip.left, r.left));
    clip.top = asMax(0, asMax(clip.top, r.top));
    clip.right = asMin(clip.right, r.right);
    clip.bottom = asMin(clip.bottom, r.bottom);
    return previous;
}

void CGraphic::setPixel(int x, int y, int col) {
    fillRect(col, asRect(x, y, x + 1, y + 1));
}

int CGraphic::getPixel(int x, int y) {
    if (!context) return 0;
    return readPixel(x + origin.x, y + origin.y);
}

void CGraphic::render(CBitmap* b, int x, int y, int sx, int sy, int w, int h) {
    if (!context || !b || !b->getSurface() || w <= 0 || h <= 0) return;
    copyBitmap(b, x + origin.x, y + origin.y, sx, sy, w, h);
}

void CGraphic::drawTiled(CBitmap* b, CRect r) {
    if (!b || b->width <= 0 || b->height <= 0) return;
    for (int y = r.top; y < r.bottom; y += b->height) {
        int th = y + b->height > r.bottom ? r.bottom - y : b->height;
        for (int x = r.left; x < r.right; x += b->width) {
            int tw = x + b->width > r.right ? r.right - x : b->width;
            render(b, x, y, 0, 0, tw, th);
        }
    }
}

void CGraphic::stretchDraw(CBitmap* b, CRect dst, CRect src) {
    if (!context || !b || !b->getSurface()) return;
    if (dst.right <= dst.left || dst.bottom <= dst.top) return;
    if (src.right <= src.left || src.bottom <= src.top) return;
    scaleBitmap(b, sizeRect(dst, origin.x, origin.y, origin.x, origin.y), src);
}
