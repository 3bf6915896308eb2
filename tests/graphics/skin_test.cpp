#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "graphics/bitmap.h"
#include "graphics/draw.h"
#include "graphics/gui.h"
#include "graphics/image.h"
#include "png_bytes.h"
#include "surface_fixture.h"

namespace {
const int A = asColor(80, 80, 80), B = asColor(192, 192, 192), D = asColor(40, 40, 40);

std::string tempPath(const char* name) {
    return std::string(testing::TempDir()) + std::to_string(getpid()) + "_" + name;
}

// A look that exercises every field, as a skin editor would leave it.
void restyle(CGui& gui) {
    setGuiFill(&clWinBkgnd, asColor(1, 2, 3));
    setGuiFrame(&clWinBkgnd, 1, asColor(4, 5, 6));
    setGuiShape(&clWinBkgnd, 0);
    setGuiText(&clWinBkgnd, asColor(7, 8, 9));
    setGuiGradient(&clButton, asColor(10, 20, 30), asColor(40, 50, 60), gradientMirrorY);
    clButton.effect = 0.75f;
    setGuiShape(&clButton, 0);
    setGuiSymbol(&clWinClose, asColor(11, 12, 13));
    setGuiGlossy(&clMenuBar, asColor(90, 0, 0), -0.5f);
    setGuiSep(&clMenuBar, 1, asColor(14, 15, 16), 6);
    setGuiSymbol(&clToolbarControlsPushed, asColor(17, 18, 19)); // a 21-character name
    clToolbarControlsPushed.fillCol = clRed;                     // not exposed: flags lack 4
    clValue.mode = 3;
    auto* img = new CImageChunk();
    img->setId("stripes");
    img->setMode(imagePng);
    img->setWidth(2);
    img->setHeight(1);
    fillStream(img->getData(), makePng(2, 1, 8, 2, {{255, 0, 0, 0, 255, 0}}));
    gui.addImage(img);
    setGuiImage(&clPanel, img);
}

struct ExposedLook {
    int mode, shape, frame, frameCol, fill, fillTex, fillCol, fillCol2, fillAlign, textCol,
        symbolCol, sep, sepCol, sepInset;
    float effect;
    bool operator==(const ExposedLook& o) const { return memcmp(this, &o, sizeof o) == 0; }
    bool operator!=(const ExposedLook& o) const { return !(*this == o); }
};

ExposedLook exposed(const CGuiItem2& item) {
    ExposedLook l;
    memset(&l, 0, sizeof l);
    l.mode = item.mode;
    if (item.flags & guiShape) l.shape = item.shape;
    if (item.flags & guiFrame) l.frame = item.frame, l.frameCol = item.frameCol;
    if (item.flags & guiFill) {
        l.fill = item.fill, l.fillTex = item.fillTex, l.fillCol = item.fillCol;
        l.fillCol2 = item.fillCol2, l.fillAlign = item.fillAlign, l.effect = item.effect;
    }
    if (item.flags & guiTextCol) l.textCol = item.textCol;
    if (item.flags & guiSymbolCol) l.symbolCol = item.symbolCol;
    if (item.flags & guiSeparator)
        l.sep = item.sep, l.sepCol = item.sepCol, l.sepInset = item.sepInset;
    return l;
}

void writeRecord(CMemoryStream& s, const char* tag, const Bytes& payload) {
    s.writeStr(tag);
    s.writeInt(static_cast<int>(payload.size()));
    s.write(payload.data(), static_cast<int>(payload.size()));
}

Bytes nameBytes(const char* name) {
    CMemoryStream s;
    s.writeStr(name);
    return Bytes(s.getData(), s.getData() + s.getSize());
}

void putLE(Bytes& b, int at, int v) {
    for (int i = 0; i < 4; i++)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
} // namespace

TEST(DefaultSkin, HoldsTheBuiltInLook) {
    CGui gui;
    EXPECT_EQ(gui.getItemCount(), 43);
    EXPECT_EQ(gui.getPaletteCount(), 0);
    EXPECT_EQ(clButton.fill, fillRamp);
    EXPECT_EQ(clButton.fillTex, texGlossy);
    EXPECT_EQ(clButton.fillCol, D);
    EXPECT_FLOAT_EQ(clButton.effect, 0.25f);
    EXPECT_EQ(clButton.shape, 1);
    EXPECT_EQ(clButton.textCol, B);
    EXPECT_EQ(clButton.frame, 0);

    EXPECT_EQ(gui.findItem("toolbarcontrolspushed"), &clToolbarControlsPushed);
    EXPECT_EQ(gui.findItem("scrollbarright"), &clScrollbarButtonRight);
    EXPECT_EQ(gui.findItem("winbkgnd"), gui.getItem(0));
    EXPECT_EQ(gui.findItem("ribbonbar")->link, &clMenuBar);
    for (int i = 0; i < gui.getItemCount(); i++) {
        EXPECT_NE(gui.getItem(i), &clWinSysButtons);
        EXPECT_NE(gui.getItem(i), &clWinSysButtonsMouseOver);
    }

    EXPECT_EQ(clWinClose.fill, fillNone);
    EXPECT_EQ(clWinClose.symbolCol, clWhite);
    EXPECT_EQ(clMenu.frameCol, D);
    EXPECT_EQ(clMenuTabGroup.fillTex, texGradient);
    EXPECT_EQ(clToolbar.fillCol, A);
    EXPECT_EQ(clListbox.fillAlign, alignLeft); // addItem defaults stay where nothing is listed
    EXPECT_FLOAT_EQ(clListbox.effect, 0.5f);
    ASSERT_NE(clCaption.bitmap, nullptr); // glossy and gradient fills are pre-rendered
    EXPECT_EQ(clCaption.bitmap->height, 20);
    EXPECT_EQ(clCaption.bitmap->width, 256);
}

TEST(DefaultSkin, LinksResolveOnUpdate) {
    CGui gui;
    setGuiFill(&clMenuBar, clRed);
    gui.updateGuiItem(&clRibbon);
    EXPECT_EQ(clRibbon.link, nullptr);
    EXPECT_EQ(clRibbon.fillCol, clRed);
    EXPECT_EQ(clRibbon.height, menuHeight);
    EXPECT_EQ(clRibbon.flags, 119); // flags are not part of the look
    EXPECT_STREQ(clRibbon.name, "ribbon");
    EXPECT_EQ(gui.getPaletteColor(0), clRed);
}

TEST(DrawGuiItem, OptionsLeaveOutFillOrFrame) {
    CGui gui;
    CGuiItem2& item = clListbox; // solid black, frame 1 black, rounded
    setGuiFrame(&item, 1, clRed);
    setGuiFill(&item, clBlue);
    const CRect r = asRect(1, 1, 9, 7);

    TestSurface frameOnly(10, 10), frameRef(10, 10);
    drawGuiItem(frameOnly.g(), r, &item, drawNoFill);
    roundFrame(frameRef.g(), clRed, r);
    EXPECT_EQ(frameOnly.lit(), frameRef.lit());
    EXPECT_TRUE(frameOnly.litIn(clBlue).empty());

    TestSurface fillOnly(10, 10), fillRef(10, 10);
    drawGuiItem(fillOnly.g(), r, &item, drawNoFrame);
    roundRect(fillRef.g(), clBlue, r);
    EXPECT_EQ(fillOnly.lit(), fillRef.lit());
    EXPECT_TRUE(fillOnly.litIn(clRed).empty());

    setGuiShape(&item, 0);
    TestSurface both(10, 10);
    drawGuiItem(both.g(), r, &item, 0);
    EXPECT_EQ(both.litIn(clBlue), block(2, 2, 8, 6));
    EXPECT_EQ(both.litIn(clRed).size(), 24u);

    setGuiFill(&item, -2);
    EXPECT_EQ(item.fill, fillNone);
    TestSurface none(10, 10);
    drawGuiItem(none.g(), r, &item, 0);
    EXPECT_TRUE(none.litIn(clBlue).empty());
    EXPECT_EQ(none.litIn(clRed).size(), 24u);
}

TEST(DrawGuiItem, GlossyUsesThePreRenderedFillOnlyAtItsHeight) {
    CGui gui;
    for (int h : {20, 14}) { // the caption's fill is pre-rendered for 20 rows
        const CRect r = asRect(0, 0, 30, h);
        TestSurface item(32, 24), ref(32, 24);
        drawGuiItem(item.g(), r, &clCaption, 0);
        drawGlossy(ref.g(), sizeRect(r, 1, 0, -1, 0), D, 0.25f, 0);
        ref.g()->frameRect(D, r);
        for (int y = 0; y < 24; y++)
            for (int x = 0; x < 32; x++)
                ASSERT_EQ(item.at(x, y), ref.at(x, y)) << h;
    }
    // a stale bitmap shows that the tiles are used at the pre-rendered height only
    clCaption.bitmap->graphic->fillRect(clGreen, asRect(0, 0, 256, 20));
    TestSurface tiled(32, 24), drawn(32, 24);
    drawGuiItem(tiled.g(), asRect(0, 0, 30, 20), &clCaption, 0);
    drawGuiItem(drawn.g(), asRect(0, 0, 30, 19), &clCaption, 0);
    EXPECT_EQ(tiled.litIn(clGreen), block(1, 1, 29, 19));
    EXPECT_TRUE(drawn.litIn(clGreen).empty());
}

TEST(DrawGuiItem, RoundedGradientDrawsItsEndRowsAsLines) {
    CGui gui; // "menutabs": rounded gradient A to D along y, frame D
    TestSurface s(40, 24);
    drawGuiItem(s.g(), asRect(0, 0, 30, 20), &clMenuTabGroup, drawNoFrame);
    EXPECT_EQ(s.litIn(A).count({0, 0}), 0u);
    for (int x = 1; x < 29; x++) {
        EXPECT_EQ(s.at(x, 0), A);
        EXPECT_EQ(s.at(x, 19), D);
    }
    EXPECT_EQ(s.at(0, 0), clWhite);
    for (int y = 2; y < 19; y++) { // the ramp darkens monotonically between the end rows
        int r0, g0, b0, r1, g1, b1;
        asRGB2(s.at(15, y - 1), r0, g0, b0);
        asRGB2(s.at(15, y), r1, g1, b1);
        EXPECT_LE(r1, r0) << y;
    }
    EXPECT_EQ(s.at(30, 10), clWhite);
}

TEST(Skin, ColorReplaceChangesFillsButNotFrames) {
    CGui gui;
    gui.updateAll();
    const int purple = asColor(120, 0, 120);
    gui.colorReplace(D, purple);
    EXPECT_EQ(clButton.fillCol, purple);
    EXPECT_EQ(clValue.fillCol, purple);
    EXPECT_EQ(clMenuTabGroup.fillCol2, purple);
    EXPECT_EQ(clMenu.frameCol, D);
    EXPECT_EQ(clMenuTabGroup.frameCol, D);
    bool inPalette = false;
    for (int i = 0; i < gui.getPaletteCount(); i++)
        if (gui.getPaletteColor(i) == purple) inPalette = true;
    EXPECT_TRUE(inPalette);
    // the pre-rendered gradient follows the new colour
    int bottom = clMenuTabGroup.bitmap->graphic->getPixel(0, clMenuTabGroup.bitmap->height - 1);
    EXPECT_EQ(bottom, fadeCol(A, purple, 255.0f / 256.0f));
}

TEST(SkinFile, SaveThenOpenReproducesWhatTheFlagsExpose) {
    std::string path = tempPath("look.skin");
    ExposedLook saved[CGui::maxItems];
    int count;
    {
        CGui gui;
        restyle(gui);
        gui.updateAll();
        count = gui.getItemCount();
        for (int i = 0; i < count; i++)
            saved[i] = exposed(*gui.getItem(i));
        ASSERT_TRUE(gui.save(path.c_str()));
        EXPECT_EQ(gui.fileName, CStr(path.c_str()));
    }
    CGui gui;
    EXPECT_NE(exposed(clWinBkgnd), saved[0]);
    ASSERT_TRUE(gui.open(path.c_str()));
    ASSERT_EQ(gui.getItemCount(), count);
    for (int i = 0; i < count; i++)
        EXPECT_EQ(exposed(*gui.getItem(i)), saved[i]) << gui.getItem(i)->name;
    EXPECT_EQ(clToolbarControlsPushed.symbolCol, asColor(17, 18, 19));
    EXPECT_EQ(clToolbarControlsPushed.fillCol, A); // default kept: the flags do not expose it
    EXPECT_EQ(clMenuBar.sepInset, 6);

    ASSERT_EQ(gui.getImages()->getCount(), 1);
    CImageChunk* img = gui.getImage(0);
    EXPECT_EQ(img->getId(), CStr("stripes"));
    EXPECT_EQ(img->getWidth(), 2);
    EXPECT_EQ(img->getMode(), imagePng);
    Bytes expected = makePng(2, 1, 8, 2, {{255, 0, 0, 0, 255, 0}});
    EXPECT_EQ(Bytes(img->getChunk(), img->getChunk() + img->getSize()), expected);
    EXPECT_EQ(clPanel.image, img);
    ASSERT_NE(clPanel.bitmap, nullptr);
    EXPECT_EQ(clPanel.bitmap->graphic->getPixel(0, 0), clRed);
    EXPECT_EQ(clPanel.bitmap->graphic->getPixel(1, 0), asColor(0, 255, 0));
    std::remove(path.c_str());
}

TEST(SkinFile, ReadsTheLegacyDataBlock) {
    Bytes block(512, 0);
    putLE(block, 12, 1);                // shape
    putLE(block, 28, fillSolid);        // fill
    putLE(block, 36, asColor(9, 8, 7)); // fill colour
    putLE(block, 68, asColor(6, 5, 4)); // text colour
    for (int i = 152; i < 160; i++)
        block[i] = 0xEE; // a stale image reference is ignored
    CMemoryStream s;
    writeRecord(s, "itemid", nameBytes("scrollbardown"));
    writeRecord(s, "itemdata", block);
    writeRecord(s, "itemid", nameBytes("nosuchitem"));
    writeRecord(s, "itemdata", block);
    std::string path = tempPath("legacy.skin");
    ASSERT_TRUE(s.saveToFile(path.c_str()));

    CGui gui;
    ASSERT_TRUE(gui.open(path.c_str()));
    EXPECT_EQ(clScrollbarButtonDown.fillCol, asColor(9, 8, 7));
    EXPECT_EQ(clScrollbarButtonDown.textCol, asColor(6, 5, 4));
    EXPECT_EQ(clScrollbarButtonDown.shape, 1);
    EXPECT_EQ(clScrollbarButtonDown.image, nullptr);
    EXPECT_EQ(clScrollbarButtonDown.width, 0);
    EXPECT_EQ(clScrollbarButtonUp.fillCol, asColor(64, 64, 64));
    std::remove(path.c_str());
}

TEST(SkinFile, DamagedFilesKeepTheDefaultsAndEnd) {
    Bytes hugeSizes(512, 0);
    putLE(hugeSizes, 4, 1 << 30); // width
    putLE(hugeSizes, 8, 1 << 30); // height
    putLE(hugeSizes, 28, fillRamp);
    putLE(hugeSizes, 32, texGradient);
    putLE(hugeSizes, 44, alignTop);
    CMemoryStream s;
    writeRecord(s, "itemid", nameBytes("button"));
    writeRecord(s, "itemdata", hugeSizes);
    writeRecord(s, "itemid2", nameBytes("value"));
    writeRecord(s, "itemfillImg", {7, 0, 0, 0}); // no such image
    writeRecord(s, "itemfill", {3, 0, 0, 0});
    s.writeStr("bogus");
    s.writeInt(-40); // a size pointing backwards ends the reading rather than looping
    writeRecord(s, "itemfill", {1, 0, 0, 0});
    std::string path = tempPath("damaged.skin");
    ASSERT_TRUE(s.saveToFile(path.c_str()));

    CGui gui;
    EXPECT_TRUE(gui.open(path.c_str()));
    ASSERT_NE(clButton.bitmap, nullptr);
    EXPECT_LE(clButton.bitmap->width, maxSkinBitmapSide);
    EXPECT_EQ(clValue.fill, fillImage);
    EXPECT_EQ(clValue.image, nullptr);
    EXPECT_EQ(clValue.bitmap, nullptr);
    std::remove(path.c_str());

    CMemoryStream t;
    t.writeStr("img");
    t.writeInt(1000); // beyond the end
    t.writeStr("x");
    t.writeInt(imagePng);
    t.writeInt(5);
    t.writeInt(5);
    t.writeInt(0x7FFFFFFF); // image byte count far beyond the file
    t.writeInt(42);
    ASSERT_TRUE(t.saveToFile(path.c_str()));
    EXPECT_TRUE(gui.open(path.c_str()));
    ASSERT_EQ(gui.getImages()->getCount(), 1);
    EXPECT_EQ(gui.getImage(0)->getSize(), 4);
    std::remove(path.c_str());

    EXPECT_FALSE(gui.open("/nonexistent/skin"));
    EXPECT_EQ(clValue.fill, fillSolid);
}

TEST(AppSkin, ListenersHearInitAndChange) {
    struct Counter {
        int inits = 0, changes = 0;
        void onInit(CObject*) { inits++; }
        void onChange(CObject*) { changes++; }
    } counter;
    CAppGui gui;
    gui.setInitListener(new _COnSkinEvent<Counter>(&counter, &Counter::onInit));
    gui.setChangeListener(new _COnSkinEvent<Counter>(&counter, &Counter::onChange));
    gui.open("/nonexistent/skin");
    EXPECT_EQ(counter.inits, 1);
    EXPECT_EQ(counter.changes, 1);
    gui.init();
    EXPECT_EQ(counter.inits, 2);
    EXPECT_EQ(counter.changes, 1);
}
