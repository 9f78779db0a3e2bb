// The read and write values and the settings that keep them: defaults for a store
// that holds nothing, and each value under its own section and key.

#include <gtest/gtest.h>

#include "common/Profile.h"
#include "common/Settings.h"
#include "fileio/IoSettings.h"

namespace km {
namespace {

namespace s = settings;

TEST(IoSettings, AnEmptyStoreGivesTheDefaults) {
  const MemoryProfile empty;
  const InputPreferences in = LoadInputPreferences(empty);
  EXPECT_EQ(in.pcdLoadSize, 2);  // "&Base", 512 x 768
  EXPECT_EQ(in.metafileWidth, 100);
  EXPECT_EQ(in.metafileHeight, 100);
  EXPECT_EQ(in.metafilePrompt, 1);
  EXPECT_EQ(in.autoOrient, 1);
  const OutputOptions out = LoadOutputOptions(empty);
  EXPECT_EQ(out.format, 0);
  EXPECT_EQ(out.subType, 0);
  EXPECT_EQ(out.dpi, 300);
  EXPECT_EQ(out.compression, 15);
  EXPECT_EQ(out.transparencyType, 0);
  EXPECT_EQ(out.transparentIndex, -1);
  EXPECT_EQ(out.transparentColor, 0u);
  EXPECT_EQ(out.keepMetadata, 1);
}

// The photograph settings live in "Format"; saving the preferences or the output
// options leaves them as they are.
TEST(IoSettings, PhotographSettingsAreReadFromFormat) {
  MemoryProfile store;
  store.setInt(s::kFormat, "AutoOrient", 0);
  store.setInt(s::kFormat, "KeepMetadata", 0);
  EXPECT_EQ(LoadInputPreferences(store).autoOrient, 0);
  EXPECT_EQ(LoadOutputOptions(store).keepMetadata, 0);
  InputPreferences in;
  OutputOptions out;
  SaveInputPreferences(store, in);
  SaveOutputOptions(store, out);
  EXPECT_EQ(store.getInt(s::kFormat, s::kAutoOrient, -1), 0);
  EXPECT_EQ(store.getInt(s::kFormat, s::kKeepMetadata, -1), 0);
}

TEST(IoSettings, EachValueHasItsKey) {
  MemoryProfile store;
  OutputOptions out;
  out.format = 10;  // not stored in "ScriptRun"
  out.subType = 1;
  out.dpi = 72;
  out.compression = 40;
  out.transparencyType = 2;
  out.transparentIndex = 9;
  out.transparentColor = 0x00C0FFEE;
  SaveOutputOptions(store, out);
  EXPECT_EQ(store.getInt(s::kScriptRun, s::kOutDPI, 0), 72);
  EXPECT_EQ(store.getInt(s::kScriptRun, s::kOutCompression, 0), 40);
  EXPECT_EQ(store.getInt(s::kScriptRun, s::kOutTransType, 0), 2);
  EXPECT_EQ(store.getInt(s::kScriptRun, s::kOutTransIndex, 0), 9);
  EXPECT_EQ(store.getInt(s::kScriptRun, s::kOutTransColor, 0), 0x00C0FFEE);
  const OutputOptions back = LoadOutputOptions(store);
  EXPECT_EQ(back.dpi, 72);
  EXPECT_EQ(back.transparentColor, 0x00C0FFEEu);
  EXPECT_EQ(back.format, 0);

  InputPreferences in;
  in.pcdLoadSize = 4;
  in.metafileWidth = 640;
  in.metafileHeight = 480;
  in.metafilePrompt = 0;
  SaveInputPreferences(store, in);
  EXPECT_EQ(store.getInt(s::kFormat, s::kPCDLoadSize, -1), 4);
  EXPECT_EQ(store.getInt(s::kFormat, s::kWMFWidth, -1), 640);
  EXPECT_EQ(store.getInt(s::kFormat, s::kWMFHeight, -1), 480);
  EXPECT_EQ(store.getInt(s::kFormat, s::kWMFPrompt, -1), 0);
  SaveMetafilePrompt(store, 1);
  const InputPreferences again = LoadInputPreferences(store);
  EXPECT_EQ(again.metafilePrompt, 1);
  EXPECT_EQ(again.metafileWidth, 640);
  EXPECT_EQ(again.pcdLoadSize, 4);
}

}  // namespace
}  // namespace km
