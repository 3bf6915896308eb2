#include "graphics/image.h"

CPNG::CPNG(const CStr& path) {
    CFileStream file(path, 0);
    if (file.isOpen()) loadPng(&file);
}

CPNG::CPNG(CStream* stream) {
    if (stream) loadPng(stream);
}

bool CPNG::loadPng(CStream* stream) {
    decoder.Initialize();
    if (decoder.Decode(stream) != 1) return false;
    width = decoder.getOutputWidth();
    height = decoder.getOutputHeight();
    loaded = 1;
    return true;
}

void CPNG::getRGBA(int x, int y, unsigned char rgba[4]) const {
    const unsigned char* pixels = decoder.getOutputPixels();
    for (int i = 0; i < 4; i++)
        rgba[i] = 0;
    if (!pixels || x < 0 || y < 0 || x >= width || y >= height) return;
    const unsigned char* p = pixels + (static_cast<size_t>(y) * width + x) * 4;
    for (int i = 0; i < 4; i++)
        rgba[i] = p[i];
}

void CPNG::draw(CGraphic* g) {
    if (!loaded || !g) return;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            unsigned char px[4];
            getRGBA(x, y, px);
            int a = px[3];
            if (a == 0) continue; // keeps the surface pixel
            int r, gr, b;
            asRGB2(g->getPixel(x, y), r, gr, b);
            g->setPixel(x, y,
                        asColor(compositeComponent(r, px[0], a), compositeComponent(gr, px[1], a),
                                compositeComponent(b, px[2], a)));
        }
}

CImageChunk::~CImageChunk() {
    delete png;
}

void CImageChunk::reset() {
    delete png;
    png = nullptr;
    width = height = 0;
}

void CImageChunk::open(const CStr& path) {
    reset();
    data.seek(0, 0);
    data.setSize(0);
    setId(changeFileExt(extractFileName(path), ""));
    data.loadFromFile(path);
    if (extractFileExt(path).lowerCase() == ".png") {
        mode = imagePng;
        data.seek(0, 0);
        CPNG probe(&data);
        width = probe.width;
        height = probe.height;
    }
}

void CImageChunk::draw(CGraphic* g, CRect) {
    if (mode != imagePng) return;
    if (!png) {
        data.seek(0, 0);
        png = new CPNG(&data);
    }
    png->draw(g);
}
