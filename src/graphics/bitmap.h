// Off-screen pixel surface with its own drawing surface.
#pragma once

#include "foundation/object.h"
#include "graphics/graphic.h"

class CBitmap : public CObject {
public:
    /// The first argument is not read. Sizes of zero, below zero or above maxBitmapSide leave a
    /// bitmap without pixels, whose surface draws nothing.
    CBitmap(int unused, int w, int h, int bitDepth);
    ~CBitmap() override;
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    cairo_surface_t* getSurface() const { return surface; }

    static constexpr int maxBitmapSide = 16384;

    CGraphic* graphic;
    int depth;
    int width;
    int height;

private:
    cairo_surface_t* surface = nullptr;
};
