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

namespace {
const int A = asColor(80, 80, 80), D = asColor(40, 40, 40);

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

TEST(DefaultSkin, LinksResolveOnUpdate) {
    CGui gui;
    setGuiFill(&clMenuBar, clRed);
    gui.updateGuiItem(&clRibbon);
    EXPECT_EQ(clRibbon.link, nullptr);
    EXPECT_EQ(clRibbon.fillCol, clRed);
    EXPECT_STREQ(clRibbon.name, "ribbon"); // its own name stays
    EXPECT_EQ(gui.getPaletteColor(0), clRed);
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

TEST(SkinFile, HugeSizesAndABackwardSizeEndTheReading) {
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

    EXPECT_FALSE(gui.open("/nonexistent/skin"));
    EXPECT_EQ(clValue.fill, fillSolid);
}
