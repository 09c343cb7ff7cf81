#include "List/List.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "MemMgr/MemMgr.h"

namespace {

ListHeader* Abc(bool front) {
    ListHeader* l = ListCreate();
    l->fPushFront = front;
    for (const char* s : {"A", "B", "C"}) ListPushItem(l, s, 2);
    return l;
}

std::string Forward(ListHeader* l) {
    std::string out;
    for (int i = 0;; ++i) {
        auto* p = static_cast<char*>(ListWalk(l, i));
        if (!p) return out;
        out += p;
    }
}

TEST(List, WalksBothWaysAndPushFrontReverses) {
    ListHeader* l = Abc(false);
    EXPECT_EQ(Forward(l), "ABC");
    EXPECT_EQ(ListWalk(l, 3), nullptr);
    std::string back;
    for (int i = 0; auto* p = static_cast<char*>(ListWalkBackward(l, i)); ++i) back += p;
    EXPECT_EQ(back, "CBA");
    ListDel(l);

    l = Abc(true);
    EXPECT_EQ(Forward(l), "CBA");
    ListDel(l);
}

TEST(List, SizesCopyFindAndPops) {
    ListHeader* l = ListCreate();
    auto* z = static_cast<char*>(ListPushItem(l, nullptr, 12));
    ASSERT_NE(z, nullptr);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(z[i], 0);
    char big[84];
    for (int i = 0; i < 84; ++i) big[i] = char(i);
    void* b = ListPushItem(l, big, 84);
    EXPECT_EQ(l->nCount, 2);
    EXPECT_EQ(l->nTotal, 96);
    EXPECT_EQ(ListPushItem(l, big, 0), nullptr);
    EXPECT_EQ(ListPushItem(nullptr, big, 4), nullptr);
    EXPECT_EQ(l->nCount, 2);

    ListHeader copy{};
    ListCopy(l, &copy);
    ASSERT_EQ(copy.nCount, 2);
    EXPECT_EQ(copy.nTotal, 96);
    EXPECT_NE(ListFindItemN(&copy, 1), z);
    EXPECT_NE(ListFindItemN(&copy, 2), b);
    EXPECT_EQ(memcmp(ListFindItemN(&copy, 2), big, 84), 0);
    EXPECT_EQ(copy.pFirst->nSize, 12);

    EXPECT_EQ(ListFindItemN(l, 0), nullptr);
    EXPECT_EQ(ListFindItemN(l, 1), z);
    EXPECT_EQ(ListFindItemN(l, 3), nullptr);
    EXPECT_EQ(ListGetItemPos(l, b), 2);
    EXPECT_EQ(ListGetItemPos(l, big), 0);

    EXPECT_EQ(ListPopItem(l, nullptr, 0), z);
    PutMem(z);
    EXPECT_EQ(l->nCount, 1);
    EXPECT_EQ(ListPopItem(l, nullptr, 1), nullptr);
    EXPECT_EQ(l->nCount, 0);
    EXPECT_EQ(l->nTotal, 0);
    EXPECT_EQ(l->pFirst, nullptr);
    EXPECT_EQ(l->pLast, nullptr);
    EXPECT_EQ(ListPopFirstItem(l, 0), nullptr);
    EXPECT_EQ(ListPopItem(nullptr, nullptr, 0), nullptr);

    void* last = ListFindItemN(&copy, 2);
    EXPECT_EQ(ListPopLastItem(&copy, 0), last);
    PutMem(last);
    EXPECT_EQ(copy.pLast, copy.pFirst);
    ListDelAllItems(&copy);
    EXPECT_EQ(copy.nCount, 0);
    ListDel(l);
}

TEST(List, MoveTakesTheLinkToTheOtherSide) {
    ListHeader* from = Abc(false);
    ListHeader* to = Abc(true);
    void* b = ListFindItemN(from, 2);
    ListMoveItem(b, from, to);
    EXPECT_EQ(Forward(from), "AC");
    EXPECT_EQ(Forward(to), "BCBA");
    EXPECT_EQ(ListFindItemN(to, 1), b);
    ListMoveItem(b, from, to);  // not in from: nothing
    EXPECT_EQ(to->nCount, 4);
    ListDel(from);
    ListDel(to);
}

TEST(List, DumpPrintsPositionAndFirstInteger) {
    ListHeader l{};
    for (int32_t v : {7, -3}) ListPushItem(&l, &v, sizeof v);
    testing::internal::CaptureStdout();
    ListDump(&l);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "  1) 7\n  2) -3\n");
    ListDelAllItems(&l);
}

}  // namespace
