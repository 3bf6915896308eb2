#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "foundation/list.h"
#include "foundation/stringlist.h"
#include "temp_path.h"

namespace {
int a = 1, b = 2, c = 3, d = 4, e = 5;

std::string order(CList& l) {
    std::string s;
    for (int i = 0; i < l.getCount(); i++)
        s += std::to_string(*static_cast<int*>(l.items(i)));
    return s;
}
} // namespace

TEST(List, IndexesOutOfRangeAreNullOrClamped) {
    CList l;
    l.insert(5, &b); // empty list: becomes the head
    l.insert(0, &a);
    l.insert(9, &d); // beyond the count: appended
    l.insert(2, &c);
    EXPECT_EQ(order(l), "1234");
    l.insert(-1, &e); // negative: after the head
    EXPECT_EQ(order(l), "15234");
    EXPECT_EQ(l.items(-1), nullptr);
    EXPECT_EQ(l.items(5), nullptr);
    EXPECT_EQ(l.last(), &d);
    l.exchange(0, 5);
    EXPECT_EQ(order(l), "15234");
    l.exchange(0, 1);
    EXPECT_EQ(order(l), "51234");
}

TEST(List, RemovalAndUniqueness) {
    CList l;
    l.add(&a);
    l.addUnique(&a);
    l.addUnique(&b);
    l.add(&c);
    EXPECT_EQ(order(l), "123");
    l.remove(&b);
    EXPECT_EQ(order(l), "13");
    EXPECT_EQ(l.indexed(&c), 1);
    EXPECT_EQ(l.indexed(&b), -1);
    EXPECT_EQ(l.pop(), &c);
    EXPECT_EQ(l.pop(), &a);
    EXPECT_EQ(l.pop(), nullptr);
}

TEST(StringList, SavesWithCrLfReadsBackAndSplitsLongLines) {
    const std::string path = uniqueTempPath(".txt");
    CStringList l;
    l.add("one");
    l.save(path.c_str());
    EXPECT_EQ(readText(path), "one");
    l.add("two");
    l.save(path.c_str());
    EXPECT_EQ(readText(path), "one\r\ntwo");
    CStringList back;
    back.add("old");
    back.open(path.c_str());
    ASSERT_EQ(back.count(), 2);
    EXPECT_EQ(back.getStr(0), CStr("one"));
    EXPECT_EQ(back.getStr(1), CStr("two"));

    FILE* f = fopen(path.c_str(), "w");
    fputs(std::string(300, 'x').c_str(), f);
    fclose(f);
    back.open(path.c_str());
    ASSERT_EQ(back.count(), 2);
    EXPECT_EQ(back.getStr(0).length(), 255);
    EXPECT_EQ(back.getStr(1).length(), 45);
    std::remove(path.c_str());
    back.open(path.c_str()); // a missing file changes nothing
    EXPECT_EQ(back.count(), 2);
}
