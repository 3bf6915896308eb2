#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include <gtest/gtest.h>
#include <unistd.h>

#include "graphics/bitmap.h"
#include "graphics/draw.h"
#include "graphics/gui.h"
#include "graphics/image.h"
#include "png_bytes.h"

namespace {
std::string tempPath(const char* name) {
    return std::string(testing::TempDir()) + std::to_string(getpid()) + "_" + name;
}

// A red and a green pixel.
Bytes stripesPng() {
    return PngBuilder().header(2, 1, 8, 2).imageData({0, 255, 0, 0, 0, 255, 0}).end().bytes();
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
    fillStream(img->getData(), stripesPng());
    gui.addImage(img);
    setGuiImage(&clPanel, img);
}

struct ExposedLook {
    int mode, shape, frame, frameCol, fill, fillTex, fillCol, fillCol2, fillAlign, textCol,
        symbolCol, sep, sepCol, sepInset;
    float effect;
    bool operator==(const ExposedLook& o) const { return memcmp(this, &o, sizeof o) == 0; }
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

/// A skin file of legacy records: each item's name, then its data block.
void writeLegacyItem(CMemoryStream& s, const char* name, const Bytes& block) {
    CMemoryStream id;
    id.writeStr(name);
    s.writeStr("itemid");
    s.writeInt(id.getSize());
    s.write(id.getData(), id.getSize());
    s.writeStr("itemdata");
    s.writeInt(static_cast<int>(block.size()));
    s.write(block.data(), static_cast<int>(block.size()));
}

/// A legacy data block with the given 32-bit values at the given offsets.
Bytes legacyBlock(std::initializer_list<std::pair<int, int>> values) {
    Bytes b(512, 0);
    for (auto v : values)
        for (int i = 0; i < 4; i++)
            b[v.first + i] = static_cast<unsigned char>(v.second >> (8 * i));
    return b;
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
        EXPECT_FALSE(gui.save("/nonexistent/folder/look.skin"));
        ASSERT_TRUE(gui.save(path.c_str()));
        EXPECT_EQ(gui.fileName, CStr(path.c_str()));
    }
    CGui gui;
    EXPECT_FALSE(exposed(clWinBkgnd) == saved[0]);
    ASSERT_TRUE(gui.open(path.c_str()));
    ASSERT_EQ(gui.getItemCount(), count);
    for (int i = 0; i < count; i++)
        EXPECT_EQ(exposed(*gui.getItem(i)), saved[i]) << gui.getItem(i)->name;
    EXPECT_EQ(clToolbarControlsPushed.fillCol,
              asColor(80, 80, 80)); // default kept: the flags do not expose it

    ASSERT_EQ(gui.getImages()->getCount(), 1);
    CImageChunk* img = gui.getImage(0);
    EXPECT_EQ(img->getId(), CStr("stripes"));
    EXPECT_EQ(Bytes(img->getChunk(), img->getChunk() + img->getSize()), stripesPng());
    EXPECT_EQ(clPanel.image, img);
    ASSERT_NE(clPanel.bitmap, nullptr);
    EXPECT_EQ(clPanel.bitmap->graphic->getPixel(0, 0), clRed);
    EXPECT_EQ(clPanel.bitmap->graphic->getPixel(1, 0), asColor(0, 255, 0));
    std::remove(path.c_str());
}

TEST(SkinFile, ReadsLegacyDataBlocksWithinLimitsAndAMissingFileRestoresTheDefaults) {
    Bytes block = legacyBlock({{12, 1},                        // shape
                               {28, fillSolid},                // fill
                               {36, asColor(9, 8, 7)},         // fill colour
                               {68, asColor(6, 5, 4)}});       // text colour
    std::fill(block.begin() + 152, block.begin() + 160, 0xEE); // a stale image reference
    const Bytes hugeSizes =
        legacyBlock({{4, 5000}, {8, 5000}, {28, fillRamp}, {32, texGradient}, {44, alignTop}});
    CMemoryStream s;
    writeLegacyItem(s, "scrollbardown", block);
    writeLegacyItem(s, "nosuchitem", block);
    writeLegacyItem(s, "value", hugeSizes);
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
    ASSERT_NE(clValue.bitmap, nullptr);
    EXPECT_EQ(clValue.bitmap->width, maxSkinBitmapSide);
    std::remove(path.c_str());

    EXPECT_FALSE(gui.open("/nonexistent/skin"));
    EXPECT_EQ(clScrollbarButtonDown.fillCol, asColor(64, 64, 64));
}
