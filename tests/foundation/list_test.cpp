#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "foundation/list.h"
#include "foundation/stringlist.h"
#include "temp_path.h"

namespace {
int a = 1, b = 2, c = 3, d = 4;

std::string order(CList& l) {
    std::string s;
    for (int i = 0; i < l.getCount(); i++)
        s += std::to_string(*static_cast<int*>(l.items(i)));
    return s;
}
} // namespace

TEST(List, IndexingOutOfRangeIsNull) {
    CList l;
    l.add(&a);
    l.add(&b);
    EXPECT_EQ(l.items(-1), nullptr);
    EXPECT_EQ(l.items(2), nullptr);
    EXPECT_EQ(l.items(1), &b);
    EXPECT_EQ(l.last(), &b);
    EXPECT_EQ(l.next(&a), &b);
    EXPECT_EQ(l.next(&b), nullptr);
    l.exchange(0, 2);
    EXPECT_EQ(order(l), "12");
    l.exchange(0, 1);
    EXPECT_EQ(order(l), "21");
}

TEST(List, InsertPlacesByIndex) {
    CList l;
    l.insert(5, &b); // empty list: becomes the head
    l.insert(0, &a);
    l.insert(9, &d); // beyond the count: appended
    l.insert(2, &c);
    EXPECT_EQ(order(l), "1234");
    int e = 5;
    l.insert(-1, &e); // negative: after the head
    EXPECT_EQ(order(l), "15234");
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
    l.replace(&c, &d);
    EXPECT_EQ(order(l), "14");
    EXPECT_EQ(l.indexed(&d), 1);
    EXPECT_EQ(l.indexed(&b), -1);
    EXPECT_EQ(l.pop(), &d);
    EXPECT_EQ(l.pop(), &a);
    EXPECT_EQ(l.pop(), nullptr);
}

TEST(List, CursorSurvivesRemovalOfItsNode) {
    CList l;
    l.addLast(&a);
    l.addLast(&b);
    l.pop(); // removes the cursor's node
    l.addLast(&c);
    EXPECT_EQ(order(l), "13");
    l.clear();
    l.addLast(&d);
    EXPECT_EQ(order(l), "4");
}

TEST(List, IterationForms) {
    CList l;
    l.add(&a);
    l.add(&b);
    std::string seen;
    for (void* p = l.first(); p; p = l.next_old())
        seen += std::to_string(*static_cast<int*>(p));
    CListItem* node = nullptr;
    for (void* p = l.next2(&node); p; p = l.next2(&node))
        seen += std::to_string(*static_cast<int*>(p));
    EXPECT_EQ(seen, "1212");
}

class StringListFile : public ::testing::Test {
protected:
    std::string path = uniqueTempPath(".txt");
    void TearDown() override { std::remove(path.c_str()); }
    std::string contents() { return readText(path); }
};

TEST_F(StringListFile, SaveSeparatesWithCrLfAndOpenReadsBack) {
    CStringList l;
    l.add("one");
    l.save(path.c_str());
    EXPECT_EQ(contents(), "one");
    l.add("two");
    l.save(path.c_str());
    EXPECT_EQ(contents(), "one\r\ntwo");
    CStringList back;
    back.add("old");
    back.open(path.c_str());
    ASSERT_EQ(back.count(), 2);
    EXPECT_EQ(back.getStr(0), CStr("one"));
    EXPECT_EQ(back.getStr(1), CStr("two"));
}

TEST_F(StringListFile, LongLinesArriveInPiecesAndMissingFilesChangeNothing) {
    FILE* f = fopen(path.c_str(), "w");
    fputs(std::string(300, 'x').c_str(), f);
    fclose(f);
    CStringList l;
    l.open(path.c_str());
    ASSERT_EQ(l.count(), 2);
    EXPECT_EQ(l.getStr(0).length(), 255);
    EXPECT_EQ(l.getStr(1).length(), 45);
    l.open((path + ".missing").c_str());
    EXPECT_EQ(l.count(), 2);
}
