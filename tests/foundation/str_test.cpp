#include <gtest/gtest.h>

#include "foundation/str.h"

TEST(Str, SubClampsCountAndStart) {
    CStr abc("abc");
    EXPECT_EQ(abc.sub(1, -1), CStr("bc"));
    EXPECT_EQ(abc.sub(1, 10), CStr("bc"));
    EXPECT_EQ(abc.sub(0, 2), CStr("ab"));
    // Starts outside the string never read outside the buffer.
    EXPECT_EQ(abc.sub(-5, 2), CStr("ab"));
    EXPECT_EQ(abc.sub(3, 1), CStr(""));
    EXPECT_EQ(abc.sub(100, 1), CStr(""));
}

TEST(Str, PosOfEmptyTextIsMinusOne) {
    CStr s("abcabc");
    EXPECT_EQ(s.pos(""), -1);
    EXPECT_EQ(s.pos("ca"), 2);
    EXPECT_EQ(s.pos("x"), -1);
}

TEST(Str, DelOnlyWithinTheString) {
    CStr s("abc");
    s.del(1, 5);
    EXPECT_EQ(s, CStr("abc"));
    s.del(-1, 1);
    EXPECT_EQ(s, CStr("abc"));
    s.del(1, -1);
    EXPECT_EQ(s, CStr("abc"));
    s.del(1, 2);
    EXPECT_EQ(s, CStr("a"));
}

TEST(Str, InsClampsThePosition) {
    CStr s("ac");
    s.ins("b", 1);
    EXPECT_EQ(s, CStr("abc"));
    s.ins("d", 3);
    EXPECT_EQ(s, CStr("abcd"));
    s.ins("<", -4);
    EXPECT_EQ(s, CStr("<abcd"));
    s.ins(">", 99);
    EXPECT_EQ(s, CStr("<abcd>"));
}

TEST(Str, IndexOutsideTheStringGivesZero) {
    CStr s("ab");
    EXPECT_EQ(s[1], 'b');
    EXPECT_EQ(s[2], 0);
    EXPECT_EQ(s[-1], 0);
    EXPECT_EQ(s[1000], 0);
}

TEST(Str, TrimKeepsTabs) {
    EXPECT_EQ(CStr("\t a\r\n").trim(), CStr("\t a"));
    EXPECT_EQ(CStr("    ").trim(), CStr(""));
    EXPECT_EQ(CStr("x").trim(), CStr("x"));
    EXPECT_EQ(CStr(" \r\nx y \n").trim(), CStr("x y"));
}

TEST(Str, ConstructionAndResize) {
    EXPECT_EQ(CStr('\0').length(), 0);
    EXPECT_EQ(CStr('q'), CStr("q"));
    EXPECT_EQ(CStr(static_cast<const char*>(nullptr)).length(), 0);
    CStr s("text");
    s.resize(-3);
    EXPECT_EQ(s.length(), 0);
    s.resize(5);
    EXPECT_EQ(s.length(), 0); // zero-filled, so no stray bytes show
    memcpy(s.data(), "hello", 5);
    EXPECT_EQ(s, CStr("hello"));
}

TEST(Str, AssignmentAppendAndCase) {
    CStr a("long text here");
    CStr b("x");
    a = b; // shrinking assignment keeps a correct terminator
    EXPECT_EQ(a, CStr("x"));
    b = "longer than before";
    EXPECT_EQ(a, CStr("x"));
    a.append("yz");
    EXPECT_EQ(a, CStr("xyz"));
    EXPECT_EQ(a + "!" + CStr(), CStr("xyz!"));
    EXPECT_EQ(CStr("MiXed").upperCase(), CStr("MIXED"));
    EXPECT_EQ(CStr("MiXed").lowerCase(), CStr("mixed"));
    EXPECT_NE(CStr("a"), CStr("A"));
}

TEST(StrHelpers, StrAsIntDef) {
    EXPECT_EQ(strAsIntDef("1.2.3", 7), 7);
    EXPECT_EQ(strAsIntDef("12a", 7), 7);
    EXPECT_EQ(strAsIntDef("--1", 7), 7);
    EXPECT_EQ(strAsIntDef("1,2.3", 7), 7);
    EXPECT_EQ(strAsIntDef("", 7), 7);
    EXPECT_EQ(strAsIntDef("-12", 7), -12);
    EXPECT_EQ(strAsIntDef("12.5", 7), 12);
    EXPECT_EQ(strAsIntDef("0", 7), 0);
}

TEST(StrHelpers, RoundingIsHalfUpAndClampsToTheIntRange) {
    EXPECT_EQ(asRound(2.5), 3);
    EXPECT_EQ(asRound(-2.5), -2);
    EXPECT_EQ(asRound(1e300), 2147483647);
}

TEST(StrHelpers, PathsAreTakenApart) {
    EXPECT_EQ(extractFilePath("/a/b.txt"), CStr("/a/"));
    EXPECT_EQ(extractFileName("/a/b.txt"), CStr("b.txt"));
    EXPECT_EQ(extractFileExt("/a/b.txt"), CStr(".txt"));
    EXPECT_EQ(changeFileExt("/a/b.txt", ".png"), CStr("/a/b.png"));
    EXPECT_EQ(extractFilePath("name"), CStr(""));
    EXPECT_EQ(extractFileName("name"), CStr("name"));
    EXPECT_EQ(extractFileExt("name"), CStr(""));
    EXPECT_EQ(changeFileExt("name", ".png"), CStr("name.png"));
    // A leading dot is not an extension to change.
    EXPECT_EQ(changeFileExt(".rc", ".bak"), CStr(".rc.bak"));
    EXPECT_EQ(extractFileName("c:\\dir\\x.ini"), CStr("x.ini"));
    EXPECT_EQ(extractRootPath("c:\\dir"), CStr("c:\\"));
    EXPECT_EQ(extractRootPath("/no/root"), CStr(""));
}
