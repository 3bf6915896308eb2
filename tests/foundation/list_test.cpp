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

// Windows register themselves with addUnique each time they are shown; a second entry would
// outlive the window.
TEST(List, InsertClampsItsIndexAndAddUniqueAddsOnce) {
    CList l;
    l.insert(5, &b); // empty list: becomes the head
    l.insert(0, &a);
    l.insert(9, &d); // beyond the count: appended
    l.insert(2, &c);
    l.addUnique(&c);
    l.addUnique(&e);
    EXPECT_EQ(order(l), "12345");
    EXPECT_EQ(l.items(-1), nullptr);
    EXPECT_EQ(l.items(5), nullptr);
    EXPECT_EQ(l.last(), &e);
}
