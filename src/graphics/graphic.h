// The drawing surface every control paints through: integer-pixel lines, rectangles and text
// in local coordinates, translated by the origin onto a platform 2-D context.
#pragma once

#include "foundation/object.h"
#include "graphics/geometry.h"

// The platform context is a Cairo context; only src/platform/cairo looks inside it.
typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

class CBitmap;

/// Bits of the align word of drawText (also the directions of drawArrow and drawGradient).
enum { alignLeft = 2, alignTop = 4, alignRight = 8, alignBottom = 16 };

class CGraphic : public CObject {
public:
    /// A surface without a context: every operation draws nothing until setContext.
    explicit CGraphic(int unused = 0);
    /// Draws on an image surface through a context of its own; the size and the clip are the
    /// surface's. The surface itself stays owned by the caller.
    explicit CGraphic(cairo_surface_t* surface);
    ~CGraphic() override;
    CGraphic(const CGraphic&) = delete;
    CGraphic& operator=(const CGraphic&) = delete;

    /// Borrows a context for one paint pass (null ends it) and prepares it for the pixel rules:
    /// antialiasing off, line width 1, colours reset to black.
    void setContext(cairo_t* cr);
    cairo_t* getContext() const { return context; }

    void setLineCol(int col);
    void setFillCol(int col);
    /// One-pixel line; the end pixel is never drawn.
    void drawLine(int x0, int y0, int x1, int y1);
    void fillRect(int col, CRect r);
    void fillRect(CRect r);
    /// One-pixel outline just inside r.
    void frameRect(int col, CRect r);
    void frameRect(CRect r);
    void drawText(int col, const CStr& text, CRect r, int align, int unused = 0);
    int textWidth(const CStr& text);
    /// Intersects the clip (surface coordinates) with r; returns the clip to restore later.
    CRect addClip(CRect r);
    void setPixel(int x, int y, int col);
    int getPixel(int x, int y);
    void render(CBitmap* b, int x, int y, int sx, int sy, int w, int h);
    void drawTiled(CBitmap* b, CRect r);
    void stretchDraw(CBitmap* b, CRect dst, CRect src);

    /// Limits all drawing to r (surface coordinates) until the matching popPlatformClip.
    void pushPlatformClip(CRect r);
    void popPlatformClip();

    /// Added to every coordinate an operation receives (local to surface coordinates).
    CPoint origin{0, 0};
    /// Surface coordinates; fillRect and frameRect keep inside it, lines and text do not.
    CRect clip{0, 0, 0, 0};
    /// When its right or bottom is positive, caps the platform clip a control paints through.
    CRect bounds{0, 0, 0, 0};
    int width = 0;
    int height = 0;
    int depth = 0;
    int fontSize = 12;
    /// Set by a paint pass whose clip is the whole window.
    bool wholeArea = false;

private:
    // Platform half: these touch the context and live with the platform code.
    void prepareContext();
    void releaseContext();
    void fillSurfaceRect(int col, int x, int y, int w, int h);
    void showText(int col, const char* text, int x, int y);
    double textAdvance(const char* text);
    int readPixel(int x, int y);
    void copyBitmap(CBitmap* b, int x, int y, int sx, int sy, int w, int h);
    void scaleBitmap(CBitmap* b, CRect dst, CRect src);

    void plotSegment(int x0, int y0, int x1, int y1);
    void clippedLine(int x0, int y0, int x1, int y1);

    cairo_t* context = nullptr;
    bool ownsContext = false;
    int lineCol = 0;
    int fillCol = 0;
    int platformClipDepth = 0;
};
