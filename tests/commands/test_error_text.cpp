#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "StringTable.h"
#include "commands/ErrorText.h"
#include "fileio/LibraryText.h"
#include "fileio/imgx/Codes.h"
#include "support/FakeMessageService.h"

namespace km {
namespace {

struct ErrorCase {
  int code;
  const char* want;
};

class ErrorTextCases : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorTextCases, Text) { EXPECT_EQ(ErrorText(GetParam().code), GetParam().want); }

INSTANTIATE_TEST_SUITE_P(
    Codes, ErrorTextCases,
    ::testing::Values(
        ErrorCase{0, ""},
        ErrorCase{-5004, "A True Color or Greyscale image is required for this function"},
        ErrorCase{-5000, "An invalid parameter was passed to a function"},
        ErrorCase{101, "An invalid parameter was passed to a function"},
        ErrorCase{-5020, "This function can not be performed on a 2 color image."},
        ErrorCase{-5017, "The image must be 256x192 or 128x96 and 1bpp to save in this format"},
        ErrorCase{-5016, "An unknown error (5016) has occurred"},  // the gap in the table
        ErrorCase{-5099, "An unknown error (5099) has occurred"},
        ErrorCase{INT_MIN, "An unknown error (2147483648) has occurred"},
        ErrorCase{4242, "An unknown error (4242) has occurred"},
        ErrorCase{65535, "An unknown error (65535) has occurred"},
        ErrorCase{800, "The standard palette data file (PALX.DAT) could not be opened."}));

TEST(ErrorText, ShowsAPlainBoxOnlyWhenAskedAndNeverForSuccess) {
  FakeMessageService messages;
  EXPECT_EQ(ErrorText(0, true, messages), "");
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(ErrorText(-5003, false, messages),
            "Enlarge Canvas - The image was already larger than the specified size.");
  EXPECT_TRUE(messages.shown.empty());
  std::string t = ErrorText(-5003, true, messages);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.last().text, t);
  EXPECT_EQ(messages.last().icon, MessageIcon::None);
  EXPECT_EQ(messages.last().buttons, MessageButtons::Ok);
}

TEST(ErrorText, EveryCodeTheProjectProducesHasALibraryText) {
  const int codes[] = {imgx::kCancelled, 101, imgx::kNoMemory, imgx::kUnrecognised, 104,
                       imgx::kCannotOpen, imgx::kReadError, imgx::kNotThisFormat,
                       imgx::kUnsupportedVariant, imgx::kTruncated, imgx::kCorrupt,
                       imgx::kBadDimensions, imgx::kCannotCreate, imgx::kWriteError,
                       imgx::kDepthNotWritable, 312, imgx::kNotPcPaint, 528, 529, 601, 800,
                       imgx::kNoReader, 5201, 5202, 5301};
  for (int code : codes) {
    EXPECT_FALSE(LibraryErrorText(code).empty()) << code;
    if (code != 101) {
      EXPECT_EQ(ErrorText(code), LibraryErrorText(code)) << code;
    }
  }
  for (int code : {0, 1, 99, 203, 5000, 5004, -5004}) EXPECT_TRUE(LibraryErrorText(code).empty()) << code;
}

TEST(ErrorText, LibraryErrorBoxUsesFallbackForUnknownCodes) {
  FakeMessageService messages;
  EXPECT_EQ(ShowLibraryError(201, messages), 0);
  EXPECT_EQ(messages.last().text, LibraryErrorText(201));
  ShowLibraryError(7777, messages);
  EXPECT_EQ(messages.last().text, "An unknown error (7777) has occurred");
  EXPECT_EQ(messages.shown.size(), 2u);
}

TEST(ErrorText, ScriptLinePrefix) {
  EXPECT_EQ(ScriptLineErrorText(3, -5004),
            "Script Line 3 Error: A True Color or Greyscale image is required for this function");
}

}  // namespace
}  // namespace km
