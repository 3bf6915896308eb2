// Bitmaps are Cairo image surfaces of 32 bits per pixel whose surface draws through a
// context of its own, so they can be drawn into as soon as they exist.
#include <cairo.h>

#include "graphics/bitmap.h"

CBitmap::CBitmap(int, int w, int h, int bitDepth)
    : graphic(new CGraphic(0)), depth(bitDepth), width(w), height(h) {
    if (w > 0 && h > 0 && w <= maxBitmapSide && h <= maxBitmapSide) {
        surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(surface);
            surface = nullptr;
        }
    }
    if (surface) {
        delete graphic;
        graphic = new CGraphic(surface);
    }
    graphic->depth = depth;
    graphic->width = width;
    graphic->height = height;
    graphic->clip = asRect(0, 0, width, height);
}

CBitmap::~CBitmap() {
    delete graphic;
    if (surface) cairo_surface_destroy(surface);
}
