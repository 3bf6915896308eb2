// PNG images of the skin: the encoded bytes kept in memory, decoded on first use and
// composited onto a drawing surface.
#pragma once

#include "foundation/object.h"
#include "foundation/stream.h"
#include "graphics/graphic.h"
#include "graphics/png/png_decoder.h"

class CPNG {
public:
    CPNG() = default;
    /// Decodes the file; a file that cannot be read leaves the image not loaded.
    explicit CPNG(const CStr& path);
    explicit CPNG(CStream* stream);

    /// Decodes from the stream's position; false for a stream that is not a PNG.
    bool loadPng(CStream* stream);
    /// Composites the image over the surface with its top-left corner at local (0, 0).
    void draw(CGraphic* g);
    bool isLoaded() const { return loaded != 0; }
    /// RGBA of the pixel; (0, 0, 0, 0) outside the image.
    void getRGBA(int x, int y, unsigned char rgba[4]) const;

    int loaded = 0;
    QoRawPngDecoder decoder;
    int width = 0;
    int height = 0;
};

/// Blends an image component over a surface component at the given alpha.
inline int compositeComponent(int surface, int image, int alpha) {
    return (255 - alpha) * surface / 255 + image * alpha / 255;
}

enum { imageNone = 0, imagePng = 1 };

class CImageChunk : public CObject {
public:
    CImageChunk() = default;
    ~CImageChunk() override;
    CImageChunk(const CImageChunk&) = delete;
    CImageChunk& operator=(const CImageChunk&) = delete;

    /// Drops the decoded image; width and height become 0.
    virtual void reset();
    /// Loads the whole file; a ".png" file also gets its width and height.
    virtual void open(const CStr& path);
    /// Draws a PNG at the surface's origin, decoding it on first use; r is not used.
    virtual void draw(CGraphic* g, CRect r);

    CMemoryStream* getData() { return &data; }
    const unsigned char* getChunk() const { return data.getData(); }
    int getSize() { return data.getSize(); }
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    int getMode() const { return mode; }
    void setMode(int m) { mode = m; }
    void setWidth(int w) { width = w; }
    void setHeight(int h) { height = h; }

private:
    int mode = imageNone;
    int width = 0;
    int height = 0;
    CMemoryStream data;
    CPNG* png = nullptr;
};
