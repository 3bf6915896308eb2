#include <gtest/gtest.h>

#include "graphics/image.h"
#include "png_bytes.h"
#include "surface_fixture.h"

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
