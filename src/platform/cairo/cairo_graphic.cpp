// The platform half of CGraphic: everything that touches the Cairo context.
#include <cmath>
#include <cstdint>

#include <cairo.h>

#include "graphics/bitmap.h"
#include "graphics/graphic.h"
#include "platform/cairo/cairo_text.h"

namespace {
void setSourceColor(cairo_t* cr, int col) {
    int r, g, b;
    asRGB2(col, r, g, b);
    cairo_set_source_rgb(cr, r / 255.0, g / 255.0, b / 255.0);
}

int unpremultiply(int c, int a) {
    return a == 0 ? 0 : asMin(255, (c * 255 + a / 2) / a);
}
} // namespace

CGraphic::CGraphic(int) {}

CGraphic::CGraphic(cairo_surface_t* surface) {
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return;
    cairo_t* cr = cairo_create(surface);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        cairo_destroy(cr);
        return;
    }
    setContext(cr);
    ownsContext = true;
    if (cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE) {
        width = cairo_image_surface_get_width(surface);
        height = cairo_image_surface_get_height(surface);
        depth = 32;
    }
    clip = asRect(0, 0, width, height);
}

CGraphic::~CGraphic() {
    releaseContext();
}

void CGraphic::releaseContext() {
    if (context && ownsContext) cairo_destroy(context);
    context = nullptr;
    ownsContext = false;
    platformClipDepth = 0;
}

void CGraphic::setContext(cairo_t* cr) {
    releaseContext();
    context = cr;
    lineCol = fillCol = 0;
    if (context) prepareContext();
}

void CGraphic::prepareContext() {
    cairo_set_antialias(context, CAIRO_ANTIALIAS_NONE);
    cairo_set_line_width(context, 1.0);
    cairo_set_operator(context, CAIRO_OPERATOR_OVER);
}

void CGraphic::fillSurfaceRect(int col, int x, int y, int w, int h) {
    setSourceColor(context, col);
    cairo_rectangle(context, x, y, w, h);
    cairo_fill(context);
}

void CGraphic::showText(int col, const char* text, int x, int y) {
    setSourceColor(context, col);
    selectTextFont(context, fontSize);
    cairo_move_to(context, x, y);
    cairo_show_text(context, macRomanToUtf8(text).c_str());
    cairo_new_path(context);
}

double CGraphic::textAdvance(const char* text) {
    selectTextFont(context, fontSize);
    cairo_text_extents_t extents;
    cairo_text_extents(context, macRomanToUtf8(text).c_str(), &extents);
    return extents.x_advance;
}

int CGraphic::readPixel(int x, int y) {
    cairo_surface_t* target = cairo_get_target(context);
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE) return 0;
    cairo_format_t format = cairo_image_surface_get_format(target);
    if (format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) return 0;
    double dx = x + 0.5, dy = y + 0.5;
    cairo_user_to_device(context, &dx, &dy);
    int px = static_cast<int>(std::floor(dx)), py = static_cast<int>(std::floor(dy));
    if (px < 0 || py < 0 || px >= cairo_image_surface_get_width(target) ||
        py >= cairo_image_surface_get_height(target))
        return 0;
    cairo_surface_flush(target);
    const unsigned char* row =
        cairo_image_surface_get_data(target) + py * cairo_image_surface_get_stride(target);
    uint32_t pixel = reinterpret_cast<const uint32_t*>(row)[px];
    int a = format == CAIRO_FORMAT_RGB24 ? 255 : static_cast<int>(pixel >> 24);
    int r = static_cast<int>((pixel >> 16) & 255), g = static_cast<int>((pixel >> 8) & 255),
        b = static_cast<int>(pixel & 255);
    if (a < 255) {
        r = unpremultiply(r, a);
        g = unpremultiply(g, a);
        b = unpremultiply(b, a);
    }
    return asColor(r, g, b);
}

void CGraphic::copyBitmap(CBitmap* b, int x, int y, int sx, int sy, int w, int h) {
    cairo_save(context);
    cairo_set_operator(context, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(context, b->getSurface(), x - sx, y - sy);
    cairo_pattern_set_filter(cairo_get_source(context), CAIRO_FILTER_NEAREST);
    // the copied block never reaches beyond the bitmap
    int right = asMin(sx + w, b->width), bottom = asMin(sy + h, b->height);
    int left = asMax(sx, 0), top = asMax(sy, 0);
    if (right > left && bottom > top) {
        cairo_rectangle(context, x + left - sx, y + top - sy, right - left, bottom - top);
        cairo_fill(context);
    }
    cairo_restore(context);
}

void CGraphic::scaleBitmap(CBitmap* b, CRect dst, CRect src) {
    cairo_save(context);
    cairo_rectangle(context, dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top);
    cairo_clip(context);
    cairo_translate(context, dst.left, dst.top);
    cairo_scale(context, static_cast<double>(dst.right - dst.left) / (src.right - src.left),
                static_cast<double>(dst.bottom - dst.top) / (src.bottom - src.top));
    cairo_set_operator(context, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(context, b->getSurface(), -src.left, -src.top);
    cairo_pattern_t* pattern = cairo_get_source(context);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
    // beyond the source block the edge pixels repeat rather than fading to nothing
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_paint(context);
    cairo_restore(context);
}

void CGraphic::pushPlatformClip(CRect r) {
    if (!context) return;
    cairo_save(context);
    cairo_rectangle(context, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_clip(context);
    platformClipDepth++;
}

void CGraphic::popPlatformClip() {
    if (!context || platformClipDepth == 0) return;
    cairo_restore(context);
    platformClipDepth--;
}
