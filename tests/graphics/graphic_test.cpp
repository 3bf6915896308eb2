#include <algorithm>

#include <gtest/gtest.h>

#include "graphics/bitmap.h"
#include "graphics/draw.h"
#include "platform/cairo/cairo_text.h"
#include "surface_fixture.h"

namespace {
PixelSet border(CRect r) {
    PixelSet set;
    for (int y = r.top; y < r.bottom; y++)
        for (int x = r.left; x < r.right; x++)
            if (x == r.left || x == r.right - 1 || y == r.top || y == r.bottom - 1)
                set.insert({x, y});
    return set;
}

PixelSet inside(const PixelSet& set, CRect r) {
    PixelSet out;
    for (auto p : set)
        if (p.first >= r.left && p.first < r.right && p.second >= r.top && p.second < r.bottom)
            out.insert(p);
    return out;
}

PixelSet shifted(const PixelSet& set, int dx, int dy) {
    PixelSet out;
    for (auto p : set)
        out.insert({p.first + dx, p.second + dy});
    return out;
}
} // namespace

TEST(Colour, PackingClampsAndUnpacks) {
    EXPECT_EQ(asColor(300, -5, 128), 0x008000FF);
    int r, g, b;
    asRGB2(asColor(12, 34, 56), r, g, b);
    EXPECT_EQ(r, 12);
    EXPECT_EQ(g, 34);
    EXPECT_EQ(b, 56);
    EXPECT_EQ(fadeCol(asColor(0, 100, 200), asColor(100, 200, 0), 0.5f), asColor(50, 150, 100));
    EXPECT_EQ(fadeCol(asColor(0, 0, 0), clWhite, 2.0f), clWhite);
    EXPECT_EQ(addBrightness(asColor(250, 10, 100), 10), asColor(255, 20, 110));
    EXPECT_EQ(addBrightness(asColor(250, 10, 100), -20), asColor(230, 0, 80));
}

TEST(Line, EndPixelIsLeftOut) {
    TestSurface s(10, 10);
    s.g()->setLineCol(clBlack);
    s.g()->drawLine(0, 0, 5, 0);
    EXPECT_EQ(s.lit(), block(0, 0, 5, 1));

    TestSurface back(10, 10);
    back.g()->setLineCol(clBlack);
    back.g()->drawLine(5, 2, 0, 2);
    back.g()->drawLine(7, 9, 7, 3);
    PixelSet expected = block(1, 2, 6, 3);
    for (auto p : block(7, 4, 8, 10))
        expected.insert(p);
    EXPECT_EQ(back.lit(), expected);
}

TEST(Line, DegenerateLinesLightTheStartInTheFillColour) {
    for (int x1 : {3, 4}) {
        TestSurface s(10, 10);
        s.g()->setLineCol(clRed);
        s.g()->setFillCol(clBlue);
        s.g()->drawLine(3, 3, x1, 3);
        EXPECT_EQ(s.lit(), PixelSet({{3, 3}})) << x1;
        EXPECT_EQ(s.at(3, 3), clBlue);
    }
    TestSurface s(10, 10);
    s.g()->setLineCol(clRed);
    s.g()->setFillCol(clBlue);
    s.g()->drawLine(0, 5, 6, 5);
    EXPECT_EQ(s.litIn(clRed), block(0, 5, 6, 6));
}

TEST(FillRect, NormalisesClipsAndTranslates) {
    TestSurface a(20, 20), b(20, 20);
    a.g()->fillRect(clBlack, asRect(10, 10, 0, 0));
    b.g()->fillRect(clBlack, asRect(0, 0, 10, 10));
    EXPECT_EQ(a.lit(), block(0, 0, 10, 10));
    EXPECT_EQ(a.lit(), b.lit());

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

TEST(FrameRect, LightsExactlyTheBorder) {
    TestSurface one(10, 10);
    one.g()->frameRect(clBlack, asRect(0, 0, 1, 1));
    EXPECT_EQ(one.lit(), PixelSet({{0, 0}}));

    TestSurface s(10, 10);
    s.g()->frameRect(clBlack, asRect(0, 0, 4, 3));
    EXPECT_EQ(s.lit().size(), 10u);
    EXPECT_EQ(s.lit(), border(asRect(0, 0, 4, 3)));

    TestSurface flipped(10, 10);
    flipped.g()->frameRect(clBlack, asRect(6, 5, 1, 1));
    EXPECT_EQ(flipped.lit(), border(asRect(1, 1, 6, 5)));
}

TEST(FrameRect, KeepsToTheClipOnEverySide) {
    const CRect rects[] = {{2, 2, 12, 10}, {0, 0, 16, 16}, {5, 3, 7, 14}, {1, 9, 15, 11}};
    const CRect clips[] = {
        {4, 4, 9, 8}, {0, 0, 16, 16}, {3, 0, 16, 5}, {6, 6, 16, 16}, {0, 9, 3, 16}};
    const CPoint origins[] = {{0, 0}, {2, -1}};
    for (CPoint o : origins)
        for (CRect c : clips)
            for (CRect r : rects) {
                TestSurface s(20, 20);
                s.g()->origin = o;
                s.g()->clip = c;
                s.g()->frameRect(clBlack, r);
                PixelSet expected = inside(shifted(border(r), o.x, o.y), c);
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
    EXPECT_EQ(s.g()->clip.left, 0);
    EXPECT_EQ(s.g()->clip.top, 10);
    EXPECT_EQ(s.g()->clip.right, 30);
    EXPECT_EQ(s.g()->clip.bottom, 40);
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
    TestSurface s(200, 40);
    CGraphic* g = s.g();
    const CRect r = asRect(20, 5, 180, 25);
    auto inkColumns = [&](int align) {
        TestSurface t(200, 40);
        t.g()->drawText(clBlack, "Hello", r, align);
        PixelSet ink = t.lit();
        int lo = 1000, hi = -1;
        for (auto p : ink) {
            lo = std::min(lo, p.first);
            hi = std::max(hi, p.first);
        }
        return std::make_pair(lo, hi);
    };
    auto left = inkColumns(alignLeft);
    EXPECT_GE(left.first, r.left);
    EXPECT_LE(left.first, r.left + 2);
    auto right = inkColumns(alignRight);
    EXPECT_LE(right.second, r.right - 1);
    EXPECT_GE(right.second, r.right - 3);
    int width = g->textWidth("Hello");
    for (int align : {0, int(alignTop), int(alignBottom)}) {
        auto centred = inkColumns(align);
        EXPECT_EQ(centred.first - left.first, (r.right - r.left - width) / 2) << align;
    }
}

TEST(Text, EightBitTextIsMacRoman) {
    EXPECT_EQ(macRomanToUtf8("A\x80z"), "A\xC3\x84z");                             // Ä
    EXPECT_EQ(macRomanToUtf8("\xDB\xA5\xFF"), "\xE2\x82\xAC\xE2\x80\xA2\xCB\x87"); // € • ˇ
    TestSurface s(60, 20);
    EXPECT_EQ(s.g()->textWidth("\x80"), s.g()->textWidth("A")); // Ä takes A's advance
}

TEST(NoContext, EveryOperationDrawsNothing) {
    CGraphic g(0);
    g.clip = asRect(0, 0, 100, 100);
    CBitmap b(0, 4, 4, 32);
    g.drawLine(0, 0, 10, 10);
    g.fillRect(clBlack, asRect(0, 0, 10, 10));
    g.frameRect(clBlack, asRect(0, 0, 10, 10));
    g.drawText(clBlack, "text", asRect(0, 0, 50, 20), 0);
    g.render(&b, 0, 0, 0, 0, 4, 4);
    g.drawTiled(&b, asRect(0, 0, 20, 20));
    g.stretchDraw(&b, asRect(0, 0, 8, 8), asRect(0, 0, 4, 4));
    drawGlossy(&g, asRect(0, 0, 10, 10), clRed, 0.5f, 0);
    EXPECT_EQ(g.textWidth("text"), 0);
    EXPECT_EQ(g.getPixel(0, 0), 0);

    CBitmap empty(0, 0, 5, 32);
    EXPECT_EQ(empty.getSurface(), nullptr);
    empty.graphic->fillRect(clWhite, asRect(0, 0, 5, 5));
    EXPECT_EQ(empty.graphic->getPixel(0, 0), 0);
    CBitmap huge(0, CBitmap::maxBitmapSide + 1, 1, 32);
    EXPECT_EQ(huge.getSurface(), nullptr);
}

TEST(Gradient, RampsLineByLineWithoutReachingTheEndColour) {
    TestSurface s(20, 20);
    drawGradient(s.g(), asRect(0, 0, 5, 10), clBlack, clWhite, alignTop);
    EXPECT_EQ(s.at(0, 0), clBlack);
    EXPECT_EQ(s.at(4, 9), asColor(230, 230, 230));
    for (int y = 0; y < 10; y++) {
        int v = asRound(255.0 * y / 10);
        for (int x = 0; x < 5; x++)
            EXPECT_EQ(s.at(x, y), asColor(v, v, v)) << x << "," << y;
    }
    EXPECT_EQ(s.at(5, 0), clWhite);

    TestSurface across(20, 4);
    drawGradient(across.g(), asRect(0, 0, 4, 4), clBlack, asColor(200, 100, 40), alignLeft);
    EXPECT_EQ(across.at(0, 3), clBlack);
    EXPECT_EQ(across.at(2, 0), asColor(100, 50, 20));
    EXPECT_EQ(across.at(3, 3), asColor(150, 75, 30));

    TestSurface mirrored(4, 8);
    drawGradient(mirrored.g(), asRect(0, 0, 4, 8), clBlack, clWhite, gradientMirrorY);
    const int expected[8] = {0, 64, 128, 191, 255, 191, 128, 64};
    for (int y = 0; y < 8; y++)
        EXPECT_EQ(mirrored.at(1, y), asColor(expected[y], expected[y], expected[y]));

    TestSurface mirroredX(8, 2);
    drawGradient(mirroredX.g(), asRect(0, 0, 8, 2), clBlack, clWhite, gradientMirrorX);
    for (int x = 0; x < 8; x++)
        EXPECT_EQ(mirroredX.at(x, 1), asColor(expected[x], expected[x], expected[x]));

    TestSurface flat(10, 10);
    drawGradient(flat.g(), asRect(3, 0, 3, 10), clBlack, clBlack, alignLeft);
    drawGradient(flat.g(), asRect(0, 4, 10, 4), clBlack, clBlack, alignTop);
    drawGradient(flat.g(), asRect(0, 0, 10, 10), clBlack, clBlack, 7);
    EXPECT_TRUE(flat.lit().empty());
}

TEST(Bitmap, RenderTileAndStretchCopyPixels) {
    CBitmap b(0, 3, 2, screenDepth());
    CGraphic* bg = b.graphic;
    EXPECT_EQ(bg->width, 3);
    EXPECT_EQ(bg->clip.bottom, 2);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++)
            bg->setPixel(x, y, asColor(10 * x, 10 * y, 7));

    TestSurface s(20, 20);
    s.g()->origin = asPoint(1, 1);
    s.g()->render(&b, 4, 5, 1, 0, 2, 2);
    EXPECT_EQ(s.at(5, 6), asColor(10, 0, 7));
    EXPECT_EQ(s.at(6, 7), asColor(20, 10, 7));
    EXPECT_EQ(s.lit(), block(5, 6, 7, 8));

    TestSurface tiles(20, 20);
    tiles.g()->drawTiled(&b, asRect(2, 2, 10, 5));
    EXPECT_EQ(tiles.lit(), block(2, 2, 10, 5));
    for (int y = 2; y < 5; y++)
        for (int x = 2; x < 10; x++)
            EXPECT_EQ(tiles.at(x, y), asColor(10 * ((x - 2) % 3), 10 * ((y - 2) % 2), 7));

    TestSurface big(20, 20);
    big.g()->stretchDraw(&b, asRect(0, 0, 6, 4), asRect(0, 0, 3, 2));
    EXPECT_EQ(big.lit(), block(0, 0, 6, 4));
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++)
            EXPECT_EQ(big.at(x, y), asColor(10 * (x / 2), 10 * (y / 2), 7));
}
