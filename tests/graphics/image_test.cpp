#include <cstdio>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "graphics/image.h"
#include "png_bytes.h"
#include "surface_fixture.h"

namespace {
std::string tempPath(const char* name) {
    return std::string(testing::TempDir()) + std::to_string(getpid()) + "_" + name;
}
} // namespace

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

TEST(PngImage, RefusedAndUnsupportedFilesDrawNothing) {
    Bytes refused = PngBuilder().header(1, 1, 8, 0).imageData({0, 7}).end().bytes();
    refused[0] = 136;
    const Bytes twoBitGrey = PngBuilder().header(4, 1, 2, 0).imageData({0, 0x1B}).end().bytes();
    TestSurface surface(4, 4);
    for (const Bytes* file : {static_cast<const Bytes*>(&refused), &twoBitGrey}) {
        CMemoryStream s;
        fillStream(&s, *file);
        CPNG png(&s);
        EXPECT_EQ(png.isLoaded(), file == &twoBitGrey);
        EXPECT_EQ(png.width, 0);
        png.draw(surface.g());
    }
    EXPECT_TRUE(surface.lit().empty());
    EXPECT_FALSE(CPNG(CStr("/nonexistent/file.png")).isLoaded());
}

TEST(ImageChunk, OpensDecodesOnDrawAndResets) {
    std::string path = tempPath("Sprite.PNG");
    Bytes file = PngBuilder()
                     .header(2, 2, 8, 3)
                     .chunk("PLTE", {255, 0, 0, 0, 0, 255})
                     .chunk("tRNS", {0})
                     .imageData({0, 0, 1, 0, 1, 0})
                     .end()
                     .bytes();
    writeFile(path, file);
    CImageChunk img;
    img.open(path.c_str());
    EXPECT_EQ(img.getId(), CStr((std::to_string(getpid()) + "_Sprite").c_str()));
    EXPECT_EQ(img.getMode(), imagePng);
    EXPECT_EQ(img.getWidth(), 2);
    EXPECT_EQ(img.getHeight(), 2);
    EXPECT_EQ(Bytes(img.getChunk(), img.getChunk() + img.getSize()), file);

    TestSurface surface(4, 4);
    img.draw(surface.g(), asRect(2, 2, 4, 4)); // drawn at the origin whatever the rectangle
    EXPECT_EQ(surface.litIn(clBlue), PixelSet({{1, 0}, {0, 1}}));
    EXPECT_EQ(surface.lit().size(), 2u); // index 0 is transparent

    img.reset();
    EXPECT_EQ(img.getWidth(), 0);
    img.open(path.c_str()); // reopening replaces the data rather than appending
    EXPECT_EQ(img.getSize(), static_cast<int>(file.size()));
    std::remove(path.c_str());

    std::string text = tempPath("notes.txt");
    writeFile(text, {'h', 'i'});
    CImageChunk other;
    other.open(text.c_str());
    EXPECT_EQ(other.getMode(), imageNone);
    EXPECT_EQ(other.getSize(), 2);
    other.draw(surface.g(), asRect(0, 0, 4, 4));
    EXPECT_EQ(surface.lit().size(), 2u);
    std::remove(text.c_str());
}
