#include <gtest/gtest.h>

#include <cstring>

#include "foundation/str.h"

TEST(Str, EditsAndIndexesStayWithinTheString) {
    CStr abc("abc");
    EXPECT_EQ(abc.sub(1, -1), CStr("bc"));
    EXPECT_EQ(abc.sub(1, 10), CStr("bc"));
    EXPECT_EQ(abc.sub(-5, 2), CStr("ab"));
    EXPECT_EQ(abc.sub(3, 1), CStr(""));
    EXPECT_EQ(abc.sub(100, 1), CStr(""));
    EXPECT_EQ(CStr("abcabc").pos("ca"), 2);
    EXPECT_EQ(abc.pos(""), -1);
    EXPECT_EQ(abc[3], 0);
    EXPECT_EQ(abc[-1], 0);

    CStr s("abc");
    s.del(1, 5);
    s.del(-1, 1);
    s.del(1, -1);
    EXPECT_EQ(s, CStr("abc"));
    s.del(1, 2);
    EXPECT_EQ(s, CStr("a"));
    s.ins("c", 1);
    s.ins("b", 1);
    s.ins("<", -4);
    s.ins(">", 99);
    EXPECT_EQ(s, CStr("<abc>"));
}

TEST(Str, TrimResizeAssignAndCase) {
    EXPECT_EQ(CStr("\t a\r\n").trim(), CStr("\t a"));
    EXPECT_EQ(CStr(" \r\nx y \n").trim(), CStr("x y"));
    EXPECT_EQ(CStr("    ").trim(), CStr(""));
    EXPECT_EQ(CStr('\0').length(), 0);
    EXPECT_EQ(CStr(static_cast<const char*>(nullptr)).length(), 0);
    CStr s("text");
    s.resize(-3);
    EXPECT_EQ(s.length(), 0);
    s.resize(5);
    EXPECT_EQ(s.length(), 0); // zero-filled, so no stray bytes show
    memcpy(s.data(), "hello", 5);
    EXPECT_EQ(s, CStr("hello"));

    CStr a("long text here");
    CStr b("x");
    a = b; // shrinking assignment keeps a correct terminator
    b = "longer than before";
    EXPECT_EQ(a, CStr("x"));
    a.append("yz");
    EXPECT_EQ(a + "!" + CStr(), CStr("xyz!"));
    EXPECT_EQ(CStr("MiXed").lowerCase(), CStr("mixed"));
    EXPECT_NE(CStr("a"), CStr("A"));
}

TEST(StrHelpers, NumbersAndPaths) {
    for (const char* notANumber : {"1.2.3", "12a", "--1", "1,2.3", ""})
        EXPECT_EQ(strAsIntDef(notANumber, 7), 7) << notANumber;
    EXPECT_EQ(strAsIntDef("-12", 7), -12);
    EXPECT_EQ(strAsIntDef("12.5", 7), 12);
    EXPECT_EQ(asRound(2.5), 3);
    EXPECT_EQ(asRound(-2.5), -2);
    EXPECT_EQ(asRound(1e300), 2147483647);

    EXPECT_EQ(extractFilePath("/a/b.txt"), CStr("/a/"));
    EXPECT_EQ(extractFileName("/a/b.txt"), CStr("b.txt"));
    EXPECT_EQ(extractFileExt("/a/b.txt"), CStr(".txt"));
    EXPECT_EQ(changeFileExt("/a/b.txt", ".png"), CStr("/a/b.png"));
    EXPECT_EQ(extractFilePath("name"), CStr(""));
    EXPECT_EQ(extractFileExt("name"), CStr(""));
    EXPECT_EQ(changeFileExt("name", ".png"), CStr("name.png"));
    EXPECT_EQ(changeFileExt(".rc", ".bak"), CStr(".rc.bak")); // a leading dot is no extension
    EXPECT_EQ(extractFileName("c:\\dir\\x.ini"), CStr("x.ini"));
}
