#include <algorithm>

#include <gtest/gtest.h>

#include "graphics/bitmap.h"
#include "graphics/draw.h"
#include "graphics/image.h"
#include "platform/cairo/cairo_text.h"
#include "png_bytes.h"
#include "surface_fixture.h"

TEST(Colour, PackingAndFadingClampEachChannel) {
    EXPECT_EQ(asColor(300, -5, 128), 0x008000FF);
    EXPECT_EQ(fadeCol(asColor(0, 100, 200), asColor(100, 200, 0), 0.5f), asColor(50, 150, 100));
    EXPECT_EQ(fadeCol(asColor(0, 0, 0), clWhite, 2.0f), clWhite);
}

TEST(Line, EndPixelIsLeftOutAndADegenerateLineLightsItsStartInTheFillColour) {
    TestSurface s(10, 10);
    s.g()->setLineCol(clRed);
    s.g()->setFillCol(clBlue);
    s.g()->drawLine(0, 0, 5, 0);
    s.g()->drawLine(5, 2, 0, 2);
    s.g()->drawLine(7, 9, 7, 3);
    PixelSet expected = block(1, 2, 6, 3);
    for (const PixelSet& more : {block(0, 0, 5, 1), block(7, 4, 8, 10)})
        expected.insert(more.begin(), more.end());
    EXPECT_EQ(s.lit(), expected);
    EXPECT_EQ(s.litIn(clRed), expected);
    for (int x1 : {3, 4}) {
        TestSurface dot(10, 10);
        dot.g()->setFillCol(clBlue);
        dot.g()->drawLine(3, 3, x1, 3);
        EXPECT_EQ(dot.lit(), PixelSet({{3, 3}})) << x1;
        EXPECT_EQ(dot.at(3, 3), clBlue);
    }
}

TEST(FillRect, NormalisesClipsAndTranslates) {
    TestSurface a(20, 20);
    a.g()->fillRect(clBlack, asRect(10, 10, 0, 0));
    EXPECT_EQ(a.lit(), block(0, 0, 10, 10));

    TestSurface c(20, 20);
    c.g()->clip = asRect(5, 6, 12, 9);
    c.g()->origin = asPoint(3, 3);
    c.g()->fillRect(clBlack, asRect(0, 0, 20, 20));
    EXPECT_EQ(c.lit(), block(5, 6, 12, 9));
    c.g()->fillRect(clRed, asRect(10, 0, 15, 20)); // entirely right of the clip
    EXPECT_TRUE(c.litIn(clRed).empty());
    c.g()->setPixel(4, 4, clGreen);
    EXPECT_EQ(c.at(7, 7), clGreen);
    EXPECT_EQ(c.g()->getPixel(4, 4), clGreen);
}

TEST(FrameRect, LightsTheBorderWithinTheClip) {
    // One-pixel and flipped rectangles too, against clips cutting every side.
    const CRect rects[] = {{2, 2, 12, 10}, {0, 0, 16, 16}, {5, 3, 7, 14},
                           {1, 9, 15, 11}, {0, 0, 1, 1},   {6, 5, 1, 1}};
    const CRect clips[] = {
        {4, 4, 9, 8}, {0, 0, 16, 16}, {3, 0, 16, 5}, {6, 6, 16, 16}, {0, 9, 3, 16}};
    for (CPoint o : {CPoint{0, 0}, CPoint{2, -1}})
        for (CRect c : clips)
            for (CRect r : rects) {
                TestSurface s(20, 20);
                s.g()->origin = o;
                s.g()->clip = c;
                s.g()->frameRect(clBlack, r);
                const int l = std::min(r.left, r.right), t = std::min(r.top, r.bottom);
                const int rt = std::max(r.left, r.right), b = std::max(r.top, r.bottom);
                PixelSet expected;
                for (auto p : block(l + o.x, t + o.y, rt + o.x, b + o.y)) {
                    const int x = p.first - o.x, y = p.second - o.y;
                    const bool edge = x == l || x == rt - 1 || y == t || y == b - 1;
                    const bool clipped = p.first < c.left || p.first >= c.right ||
                                         p.second < c.top || p.second >= c.bottom;
                    if (edge && !clipped) expected.insert(p);
                }
                EXPECT_EQ(s.lit(), expected)
                    << "rect " << r.left << "," << r.top << "," << r.right << "," << r.bottom
                    << " clip " << c.left << "," << c.top << "," << c.right << "," << c.bottom
                    << " origin " << o.x << "," << o.y;
            }
}

TEST(Clip, AddClipIntersectsAndReturnsThePrevious) {
    TestSurface s(40, 40);
    s.g()->clip = asRect(0, 0, 40, 40);
    CRect previous = s.g()->addClip(asRect(-5, 10, 30, 50));
    EXPECT_EQ(previous.right, 40);
    s.g()->fillRect(clBlack, asRect(0, 0, 40, 40));
    EXPECT_EQ(s.lit(), block(0, 10, 30, 40));
    s.g()->clip = previous;
    s.g()->pushPlatformClip(asRect(0, 0, 2, 2));
    s.g()->setLineCol(clRed);
    s.g()->drawLine(0, 0, 10, 0); // lines rely on the platform clip alone
    s.g()->popPlatformClip();
    EXPECT_EQ(s.litIn(clRed), block(0, 0, 2, 1));
}

TEST(Text, AlignmentPlacesTheInkInsideTheRectangle) {
    const CRect r = asRect(20, 5, 180, 25);
    auto inkColumns = [&](int align) {
        TestSurface t(200, 40);
        t.g()->drawText(clBlack, "Hello", r, align);
        const PixelSet ink = t.lit();
        auto byX = [](auto p, auto q) { return p.first < q.first; };
        return std::make_pair(std::min_element(ink.begin(), ink.end(), byX)->first,
                              std::max_element(ink.begin(), ink.end(), byX)->first);
    };
    auto left = inkColumns(alignLeft);
    EXPECT_GE(left.first, r.left);
    EXPECT_LE(left.first, r.left + 2);
    auto right = inkColumns(alignRight);
    EXPECT_LE(right.second, r.right - 1);
    EXPECT_GE(right.second, r.right - 3);
    TestSurface s(200, 40);
    const int width = s.g()->textWidth("Hello");
    for (int align : {0, int(alignTop), int(alignBottom)}) {
        auto centred = inkColumns(align);
        EXPECT_EQ(centred.first - left.first, (r.right - r.left - width) / 2) << align;
    }
    // Eight-bit text is Mac Roman: Ä € • ˇ.
    EXPECT_EQ(macRomanToUtf8("A\x80z"), "A\xC3\x84z");
    EXPECT_EQ(macRomanToUtf8("\xDB\xA5\xFF"), "\xE2\x82\xAC\xE2\x80\xA2\xCB\x87");
    EXPECT_EQ(s.g()->textWidth("\x80"), s.g()->textWidth("A"));
}

TEST(NoContext, BitmapsWithoutASurfaceDrawNothing) {
    // Bitmaps of no size or beyond the limit have no surface, so their graphic has no context.
    CBitmap source(0, 4, 4, 32);
    for (int w : {0, CBitmap::maxBitmapSide + 1}) {
        CBitmap empty(0, w, 5, 32);
        EXPECT_EQ(empty.getSurface(), nullptr) << w;
        CGraphic& g = *empty.graphic;
        g.clip = asRect(0, 0, 100, 100);
        g.drawLine(0, 0, 10, 10);
        g.fillRect(clBlack, asRect(0, 0, 10, 10));
        g.frameRect(clBlack, asRect(0, 0, 10, 10));
        g.drawText(clBlack, "text", asRect(0, 0, 50, 20), 0);
        g.render(&source, 0, 0, 0, 0, 4, 4);
        g.drawTiled(&source, asRect(0, 0, 20, 20));
        g.stretchDraw(&source, asRect(0, 0, 8, 8), asRect(0, 0, 4, 4));
        EXPECT_EQ(g.textWidth("text"), 0) << w;
        EXPECT_EQ(g.getPixel(0, 0), 0) << w;
    }
}

TEST(Gradient, RampsLineByLineWithoutReachingTheEndColour) {
    // Eighths of the way to (240, 80, 16) are whole numbers. Mirrored ramps climb twice as fast,
    // reach the end colour at the middle line and fall back.
    for (int mode : {int(alignTop), int(alignLeft), int(gradientMirrorY), int(gradientMirrorX)}) {
        TestSurface s(10, 10, clRed);
        drawGradient(s.g(), asRect(0, 0, 8, 8), clBlack, asColor(240, 80, 16), mode);
        const bool down = mode == alignTop || mode == gradientMirrorY;
        const bool mirrored = mode == gradientMirrorY || mode == gradientMirrorX;
        for (auto p : block(0, 0, 8, 8)) {
            const int i = down ? p.second : p.first;
            const int k = !mirrored ? i : i < 4 ? 2 * i : 16 - 2 * i;
            EXPECT_EQ(s.at(p.first, p.second), asColor(30 * k, 10 * k, 2 * k))
                << mode << " at " << p.first << "," << p.second;
        }
        EXPECT_EQ(s.lit(), block(0, 0, 8, 8)) << mode;
    }
}

TEST(Bitmap, RenderTileAndStretchCopyPixels) {
    CBitmap b(0, 3, 2, screenDepth());
    for (auto p : block(0, 0, 3, 2))
        b.graphic->setPixel(p.first, p.second, asColor(10 * p.first, 10 * p.second, 7));

    TestSurface s(20, 20);
    s.g()->origin = asPoint(1, 1);
    s.g()->render(&b, 4, 5, 1, 0, 2, 2);
    EXPECT_EQ(s.at(5, 6), asColor(10, 0, 7));
    EXPECT_EQ(s.at(6, 7), asColor(20, 10, 7));
    EXPECT_EQ(s.lit(), block(5, 6, 7, 8));

    TestSurface tiles(20, 20), big(20, 20);
    tiles.g()->drawTiled(&b, asRect(2, 2, 10, 5));
    EXPECT_EQ(tiles.lit(), block(2, 2, 10, 5));
    for (auto p : block(2, 2, 10, 5))
        EXPECT_EQ(tiles.at(p.first, p.second),
                  asColor(10 * ((p.first - 2) % 3), 10 * ((p.second - 2) % 2), 7));
    big.g()->stretchDraw(&b, asRect(0, 0, 6, 4), asRect(0, 0, 3, 2));
    EXPECT_EQ(big.lit(), block(0, 0, 6, 4));
    for (auto p : block(0, 0, 6, 4))
        EXPECT_EQ(big.at(p.first, p.second), asColor(10 * (p.first / 2), 10 * (p.second / 2), 7));
}

TEST(PngImage, CompositesWithTheIntegerFormula) {
    CMemoryStream s;
    fillStream(&s, PngBuilder()
                       .header(3, 1, 8, 6)
                       .imageData({0, 10, 20, 30, 128, 1, 2, 3, 255, 200, 200, 200, 0})
                       .end()
                       .bytes());
    CPNG png(&s);
    ASSERT_TRUE(png.isLoaded());
    TestSurface surface(8, 8);
    surface.g()->origin = asPoint(2, 3);
    png.draw(surface.g());
    EXPECT_EQ(surface.at(2, 3), asColor(132, 137, 142));
    EXPECT_EQ(surface.at(3, 3), asColor(1, 2, 3)); // opaque replaces
    EXPECT_EQ(surface.lit(), PixelSet({{2, 3}, {3, 3}}));
}
