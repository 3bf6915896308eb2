#include <gtest/gtest.h>

#include <string>

#include "foundation/list.h"

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
