// An image surface without a display, with helpers to read back what was drawn.
#pragma once

#include <set>
#include <utility>

#include <cairo.h>

#include "graphics/geometry.h"
#include "graphics/graphic.h"

using PixelSet = std::set<std::pair<int, int>>;

class TestSurface {
public:
    TestSurface(int w, int h, int background = clWhite)
        : surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h)), graphic(surface),
          bkgnd(background) {
        graphic.fillRect(bkgnd, asRect(0, 0, w, h));
    }
    ~TestSurface() { cairo_surface_destroy(surface); }
    TestSurface(const TestSurface&) = delete;
    TestSurface& operator=(const TestSurface&) = delete;

    CGraphic* g() { return &graphic; }
    int at(int x, int y) {
        CPoint saved = graphic.origin;
        graphic.origin = asPoint(0, 0);
        int c = graphic.getPixel(x, y);
        graphic.origin = saved;
        return c;
    }
    /// Every pixel that no longer holds the background colour.
    PixelSet lit() {
        PixelSet set;
        for (int y = 0; y < graphic.height; y++)
            for (int x = 0; x < graphic.width; x++)
                if (at(x, y) != bkgnd) set.insert({x, y});
        return set;
    }
    PixelSet litIn(int col) {
        PixelSet set;
        for (int y = 0; y < graphic.height; y++)
            for (int x = 0; x < graphic.width; x++)
                if (at(x, y) == col) set.insert({x, y});
        return set;
    }

private:
    cairo_surface_t* surface;
    CGraphic graphic;
    int bkgnd;
};

inline PixelSet block(int l, int t, int r, int b) {
    PixelSet set;
    for (int y = t; y < b; y++)
        for (int x = l; x < r; x++)
            set.insert({x, y});
    return set;
}
