#include "foundation/plain_lists.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A list of the three data pointers a, b, c, freed at the end of each test.
class PtrListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    list = CreatePtrList();
    ASSERT_NE(list, nullptr);
    for (char* d : {&a, &b, &c}) ASSERT_EQ(AppendPtrList(list, d), 1);
  }
  void TearDown() override { FreePtrList(list); }

  std::vector<void*> Forward() const {
    std::vector<void*> out;
    for (PtrListNode* n = list->first; n; n = n->next) out.push_back(n->data);
    return out;
  }
  std::vector<void*> Backward() const {
    std::vector<void*> out;
    for (PtrListNode* n = list->last; n; n = n->prev) out.push_back(n->data);
    return out;
  }

  char a = 'a', b = 'b', c = 'c';
  PtrList* list = nullptr;
};

TEST_F(PtrListTest, AppendLinksBothWays) {
  EXPECT_EQ(list->count, 3);
  EXPECT_EQ(GetPtrListCount(list), 3);
  EXPECT_EQ(Forward(), (std::vector<void*>{&a, &b, &c}));
  EXPECT_EQ(Backward(), (std::vector<void*>{&c, &b, &a}));
  EXPECT_EQ(list->recent, list->last);
  EXPECT_EQ(list->first->prev, nullptr);
  EXPECT_EQ(list->last->next, nullptr);
}

TEST_F(PtrListTest, IndexLookup) {
  EXPECT_EQ(GetPtrListData(GetPtrListAt(list, 0)), &a);
  EXPECT_EQ(GetPtrListData(GetPtrListAt(list, 2)), &c);
  EXPECT_EQ(GetPtrListAt(list, 3), nullptr);
  EXPECT_EQ(GetPtrListAt(list, 99), nullptr);
  EXPECT_EQ(GetPtrListAt(list, -1), list->first) << "a negative index gives the first node";
  EXPECT_EQ(GetPtrListAt(nullptr, 0), nullptr);
  EXPECT_EQ(GetPtrListData(nullptr), nullptr);
  EXPECT_EQ(GetPtrListCount(nullptr), 0);
}

TEST_F(PtrListTest, RemoveMiddle) {
  RemovePtrListAt(list, 1);
  EXPECT_EQ(list->count, 2);
  EXPECT_EQ(Forward(), (std::vector<void*>{&a, &c}));
  EXPECT_EQ(Backward(), (std::vector<void*>{&c, &a}));
  EXPECT_EQ(list->recent, list->last);
}

TEST_F(PtrListTest, RemoveTailClearsTheRecentMark) {
  RemovePtrListAt(list, 2);
  EXPECT_EQ(list->count, 2);
  EXPECT_EQ(list->last->data, &b);
  EXPECT_EQ(list->last->next, nullptr);
  EXPECT_EQ(list->recent, nullptr);
  ASSERT_EQ(AppendPtrList(list, &c), 1);
  EXPECT_EQ(list->recent, list->last);
}

TEST_F(PtrListTest, RemoveHeadAndOutOfRange) {
  RemovePtrListAt(list, 3);
  RemovePtrListAt(list, 50);
  EXPECT_EQ(list->count, 3);
  RemovePtrListAt(list, 0);
  EXPECT_EQ(Forward(), (std::vector<void*>{&b, &c}));
  EXPECT_EQ(list->first->prev, nullptr);
  RemovePtrListAt(nullptr, 0);
}

TEST_F(PtrListTest, RemoveAllLeavesAZeroHead) {
  while (list->count > 0) RemovePtrListAt(list, 0);
  const PtrList zero{};
  EXPECT_EQ(std::memcmp(list, &zero, sizeof zero), 0);
  RemovePtrListAt(list, 0);
  ASSERT_EQ(AppendPtrList(list, &a), 1);
  RemovePtrListAt(list, 0);
  EXPECT_EQ(std::memcmp(list, &zero, sizeof zero), 0) << "removing the only node";
}

TEST_F(PtrListTest, ClearLeavesTheData) {
  ClearPtrList(list);
  const PtrList zero{};
  EXPECT_EQ(std::memcmp(list, &zero, sizeof zero), 0);
  EXPECT_EQ(a, 'a');
  EXPECT_EQ(AppendPtrList(nullptr, &a), 0);
  ClearPtrList(nullptr);
  FreePtrList(nullptr);
}

TEST(TextList, ClearFreesTheTexts) {
  // The leak check of the sanitizer build catches a text left behind.
  PtrList* texts = CreatePtrList();
  ASSERT_NE(texts, nullptr);
  for (const char* row : {"600000|||浦发银行", "000001|||平安银行"}) {
    char* copy = static_cast<char*>(std::malloc(std::strlen(row) + 1));
    std::strcpy(copy, row);
    ASSERT_EQ(AppendPtrList(texts, copy), 1);
  }
  EXPECT_STREQ(static_cast<char*>(GetPtrListData(GetPtrListAt(texts, 1))), "000001|||平安银行");
  ClearTextList(texts);
  EXPECT_EQ(GetPtrListCount(texts), 0);
  EXPECT_EQ(texts->first, nullptr);
  ASSERT_EQ(AppendPtrList(texts, std::calloc(4, 1)), 1);
  FreeTextList(texts);
  FreeTextList(nullptr);
}

}  // namespace
