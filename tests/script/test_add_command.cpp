#include <gtest/gtest.h>

#include <vector>

#include "script/AddCommand.h"
#include "support/FakeMessageService.h"

namespace km {
namespace {

std::vector<int> Codes(const CScript& s) {
  std::vector<int> v;
  for (int i = 0; i < s.GetCount(); ++i) v.push_back(s.GetAt(i)->Code);
  return v;
}

// Records which line the dialog was opened for and answers as told.
struct Dialog {
  bool answer = true;
  std::vector<int> openedAt;
  EditParametersFn fn() {
    return [this](CScript& s, int index) {
      openedAt.push_back(index);
      EXPECT_NE(s.GetAt(index), nullptr);
      return answer;
    };
  }
};

TEST(AddCommand, GoesDirectlyAfterTheSelection) {
  CScript s;
  FakeMessageService messages;
  Dialog dialog;
  EXPECT_EQ(AddCommand(&s, 501, -1, dialog.fn(), messages).select, 0);  // nothing selected
  EXPECT_EQ(AddCommand(&s, 502, -1, dialog.fn(), messages).select, 0);
  EXPECT_EQ(AddCommand(&s, 503, 1, dialog.fn(), messages).select, 2);  // last selected
  AddCommandResult r = AddCommand(&s, 504, 1, dialog.fn(), messages);  // second selected
  EXPECT_TRUE(r.added);
  EXPECT_EQ(r.select, 2);
  EXPECT_EQ(Codes(s), (std::vector<int>{502, 501, 504, 503}));
  EXPECT_EQ(dialog.openedAt, (std::vector<int>{0, 0, 2, 2}));
  EXPECT_TRUE(messages.shown.empty());
}

TEST(AddCommand, CancelledDialogLeavesTheScriptAsItWas) {
  CScript s;
  FakeMessageService messages;
  Dialog dialog;
  AddCommand(&s, 506, -1, dialog.fn(), messages);
  AddCommand(&s, 507, 0, dialog.fn(), messages);
  dialog.answer = false;
  AddCommandResult r = AddCommand(&s, 508, 0, dialog.fn(), messages);
  EXPECT_FALSE(r.added);
  EXPECT_EQ(r.select, 0);
  EXPECT_EQ(Codes(s), (std::vector<int>{506, 507}));
}

TEST(AddCommand, SecondOutputOptionsIsRefused) {
  CScript s;
  FakeMessageService messages;
  Dialog dialog;
  AddCommand(&s, 506, -1, dialog.fn(), messages);
  AddCommand(&s, 544, 0, dialog.fn(), messages);
  AddCommand(&s, 507, 1, dialog.fn(), messages);
  AddCommandResult r = AddCommand(&s, 544, 2, dialog.fn(), messages);
  EXPECT_FALSE(r.added);
  EXPECT_EQ(r.select, 1);  // the existing one
  EXPECT_EQ(Codes(s), (std::vector<int>{506, 544, 507}));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.last().text, "Only one occurrence of this command is allowed in a single script.");
  EXPECT_EQ(dialog.openedAt.size(), 3u);  // no dialog for the refused one
}

}  // namespace
}  // namespace km
