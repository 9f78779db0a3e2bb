#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "support/FakeMessageService.h"
#include "StringTable.h"
#include "script/ScriptFile.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Encode(const CScript& s) {
  Bytes b;
  EXPECT_TRUE(EncodeScript(s, &b));
  return b;
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const Bytes& b) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

void PutU32(Bytes* b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b->push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Decodes from an exactly sized heap copy, so a read past the end trips the sanitizer.
int DecodeExact(const Bytes& b, CScript* s) {
  std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[b.size() ? b.size() : 1]);
  if (!b.empty()) std::memcpy(copy.get(), b.data(), b.size());
  return DecodeScript(copy.get(), b.size(), s);
}

CScript TwoCommandScript() {
  CScript s;
  auto a = std::make_unique<CScriptCommand>(518);
  a->Int1 = 1;
  a->Text1 = "/pal/web.pal";
  s.Append(std::move(a));
  auto b = std::make_unique<CScriptCommand>(544);
  b->Int1 = 9;
  b->Text1 = "/out";
  b->Text2 = "x";
  b->Color1 = 0x00FF8000;
  s.Append(std::move(b));
  return s;
}

TEST(ScriptFile, EmptyScriptIsTwentyFourBytes) {
  CScript s;
  Bytes b = Encode(s);
  const Bytes want = {'T', 'A', 'V', 'O', ' ', 'B', 'a', 't', 'c', 'h', ' ', 'S',
                      'c', 'r', 'i', 'p', 't', 0,   1,   0,   0,   0,   0,   0};
  EXPECT_EQ(b, want);
  CScript loaded;
  EXPECT_EQ(DecodeExact(b, &loaded), 0);
  EXPECT_EQ(loaded.GetCount(), 0);
}

// The record's fields add up to 48 bytes: Code, five integers, two reals, two text
// lengths and two colours of 4 bytes each.
TEST(ScriptFile, UneditedFlipIsSeventyTwoBytesWithMarkers) {
  CScript s;
  s.Append(std::make_unique<CScriptCommand>(506));
  Bytes b = Encode(s);
  ASSERT_EQ(b.size(), 24u + kScriptRecordFixedSize);
  ASSERT_EQ(b.size(), 72u);
  Bytes rec(b.begin() + 24, b.end());
  const Bytes want = {0xFA, 0x01, 0, 0,                                                 // 506
                      0xF0, 0x14, 0xF6, 0xFF, 0xF0, 0x14, 0xF6, 0xFF, 0xF0, 0x14, 0xF6, 0xFF,
                      0xF0, 0x14, 0xF6, 0xFF, 0xF0, 0x14, 0xF6, 0xFF,                   // Int1..5
                      0x00, 0xB1, 0x1E, 0xC9, 0x00, 0xB1, 0x1E, 0xC9,                   // reals
                      0, 0, 0, 0, 0, 0, 0, 0,                                           // texts
                      0, 0, 0, 0, 0, 0, 0, 0};                                          // colours
  EXPECT_EQ(rec, want);
  EXPECT_EQ(b[20], 1);
}

TEST(ScriptFile, TextIsLengthThenBytesWithoutZero) {
  CScript s;
  auto c = std::make_unique<CScriptCommand>(518);
  c->Text1 = "C:\\PAL\\A.PAL";
  ASSERT_EQ(c->Text1.size(), 12u);
  s.Append(std::move(c));
  Bytes b = Encode(s);
  ASSERT_EQ(b.size(), 24u + 48u + 12u);
  const std::size_t at = 24 + 32;
  EXPECT_EQ(b[at], 12);
  EXPECT_EQ(std::string(b.begin() + at + 4, b.begin() + at + 16), "C:\\PAL\\A.PAL");
  EXPECT_EQ(b[at + 16], 0);  // Text2's length follows at once
  EXPECT_EQ(b.size(), at + 16 + 4 + 8);
}

TEST(ScriptFile, RandomScriptsRoundTripByteForByte) {
  std::mt19937 rng(2024);
  std::uniform_int_distribution<std::uint32_t> any;
  for (int round = 0; round < 50; ++round) {
    CScript s;
    int n = static_cast<int>(any(rng) % 12);
    for (int i = 0; i < n; ++i) {
      auto c = std::make_unique<CScriptCommand>();
      c->Code = static_cast<std::int32_t>(any(rng));
      c->Int1 = static_cast<std::int32_t>(any(rng));
      c->Int2 = static_cast<std::int32_t>(any(rng));
      c->Int3 = static_cast<std::int32_t>(any(rng));
      c->Int4 = static_cast<std::int32_t>(any(rng));
      c->Int5 = static_cast<std::int32_t>(any(rng));
      c->Real1 = std::bit_cast<float>(any(rng));  // NaN patterns too: bits are kept
      c->Real2 = std::bit_cast<float>(any(rng));
      for (std::string* t : {&c->Text1, &c->Text2}) {
        std::size_t len = any(rng) % 3 == 0 ? any(rng) % 1024 : any(rng) % 20;
        for (std::size_t k = 0; k < len; ++k) t->push_back(static_cast<char>(1 + any(rng) % 255));
      }
      c->Color1 = any(rng);
      c->Color2 = any(rng);
      s.Append(std::move(c));
    }
    Bytes b = Encode(s);
    CScript loaded;
    ASSERT_EQ(DecodeExact(b, &loaded), 0);
    ASSERT_EQ(loaded.GetCount(), n);
    EXPECT_EQ(Encode(loaded), b);
  }
}

TEST(ScriptFile, WrongVersionAndSignatureAreRefusedAndAppendNothing) {
  CScript s;
  s.Append(std::make_unique<CScriptCommand>(506));
  Bytes good = Encode(TwoCommandScript());
  struct Case {
    std::uint8_t major, minor;
    int want;
  } cases[] = {{1, 1, 5024}, {2, 0, 5024}, {0, 0, 5024}, {1, 0, 0}};
  for (const auto& c : cases) {
    Bytes b = good;
    b[18] = c.major;
    b[19] = c.minor;
    EXPECT_EQ(DecodeExact(b, &s), c.want) << int(c.major) << "." << int(c.minor);
  }
  EXPECT_EQ(s.GetCount(), 3);  // only the good file appended its two commands

  Bytes bmp = {'B', 'M', 0x36, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0, 40, 0, 0, 0, 1, 0, 1, 0, 0, 0};
  EXPECT_EQ(DecodeExact(bmp, &s), 2068);
  Bytes noZero = good;
  noZero[17] = ' ';  // the zero byte belongs to the signature
  EXPECT_EQ(DecodeExact(noZero, &s), 2068);
  EXPECT_EQ(DecodeExact(Bytes{}, &s), 2068);
  EXPECT_EQ(DecodeExact(Bytes(good.begin(), good.begin() + 18), &s), 2068);
  EXPECT_EQ(s.GetCount(), 3);
}

TEST(ScriptFile, EveryTruncationIsRefusedWithoutAppending) {
  Bytes good = Encode(TwoCommandScript());
  for (std::size_t len = 0; len < good.size(); ++len) {
    CScript s;
    s.Append(std::make_unique<CScriptCommand>(507));
    Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(len));
    EXPECT_EQ(DecodeExact(cut, &s), 2068) << len;
    EXPECT_EQ(s.GetCount(), 1) << len;
  }
}

TEST(ScriptFile, CountsAndLengthsAreNeverTrusted) {
  Bytes header(20, 0);
  std::copy(kScriptSignature, kScriptSignature + 18, header.begin());
  header[18] = 1;  // version 1.0
  auto withCount = [&](std::uint32_t n) {
    Bytes b = header;
    PutU32(&b, n);
    return b;
  };
  // One complete record after a count that claims two billion: refused at once.
  Bytes absurd = withCount(0x7FFFFFFF);
  Bytes rec = Encode(TwoCommandScript());
  absurd.insert(absurd.end(), rec.begin() + 24, rec.end());
  CScript s;
  EXPECT_EQ(DecodeExact(absurd, &s), 2068);
  EXPECT_EQ(s.GetCount(), 0);
  // A negative count reads no command and succeeds.
  EXPECT_EQ(DecodeExact(withCount(0xFFFFFFFF), &s), 0);
  EXPECT_EQ(DecodeExact(withCount(0x80000000), &s), 0);
  EXPECT_EQ(s.GetCount(), 0);

  auto oneRecordWithText = [&](std::uint32_t storedLength, std::size_t actualBytes) {
    Bytes b = withCount(1);
    for (int i = 0; i < 8; ++i) PutU32(&b, 0);
    PutU32(&b, storedLength);
    b.insert(b.end(), actualBytes, 'a');
    PutU32(&b, 0);
    PutU32(&b, 0);
    PutU32(&b, 0);
    return b;
  };
  EXPECT_EQ(DecodeExact(oneRecordWithText(1023, 1023), &s), 0);
  ASSERT_EQ(s.GetCount(), 1);
  EXPECT_EQ(s.GetAt(0)->Text1, std::string(1023, 'a'));
  EXPECT_EQ(DecodeExact(oneRecordWithText(1024, 1024), &s), 2068);
  EXPECT_EQ(DecodeExact(oneRecordWithText(0xFFFFFFFF, 8), &s), 2068);
  EXPECT_EQ(DecodeExact(oneRecordWithText(0x80000000, 8), &s), 2068);
  EXPECT_EQ(s.GetCount(), 1);
}

TEST(ScriptFile, TextStopsAtItsFirstZeroByteAndTrailingBytesAreIgnored) {
  CScript s;
  auto c = std::make_unique<CScriptCommand>(518);
  c->Text1 = std::string("ab\0cd", 5);
  s.Append(std::move(c));
  Bytes b = Encode(s);
  b.push_back(0x55);  // after the last record: not read
  CScript loaded;
  ASSERT_EQ(DecodeExact(b, &loaded), 0);
  EXPECT_EQ(loaded.GetAt(0)->Text1, "ab");
}

TEST(ScriptFile, LoadAppendsAfterExistingCommands) {
  std::string dir = test::MakeTempDir("scriptfile");
  std::string path = dir + "/two.rsq";
  FakeMessageService messages;
  ASSERT_TRUE(SaveScript(path, TwoCommandScript(), messages));
  EXPECT_EQ(ReadAll(path), Encode(TwoCommandScript()));
  CScript s;
  s.Append(std::make_unique<CScriptCommand>(506));
  ASSERT_TRUE(LoadScript(path, &s, messages));
  ASSERT_EQ(s.GetCount(), 3);
  EXPECT_EQ(s.GetAt(0)->Code, 506);
  EXPECT_EQ(s.GetAt(1)->Code, 518);
  EXPECT_EQ(s.GetAt(2)->Text1, "/out");
  EXPECT_EQ(s.GetAt(2)->Color1, 0x00FF8000u);
  EXPECT_TRUE(messages.shown.empty());
  std::filesystem::remove_all(dir);
}

TEST(ScriptFile, RefusalsAreShownWithTheirIcons) {
  std::string dir = test::MakeTempDir("scriptfile");
  FakeMessageService messages;
  CScript s;

  EXPECT_FALSE(LoadScript(dir + "/missing.rsq", &s, messages));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.last().text,
            "The script could not be loaded because no such file or directory");
  EXPECT_EQ(messages.last().icon, MessageIcon::Stop);

  EXPECT_FALSE(LoadScript(dir, &s, messages));  // a folder
  EXPECT_EQ(messages.last().icon, MessageIcon::Stop);
  EXPECT_EQ(messages.last().text.rfind("The script could not be loaded because ", 0), 0u);

  Bytes bad = Encode(TwoCommandScript());
  bad[19] = 1;
  WriteAll(dir + "/v11.rsq", bad);
  EXPECT_FALSE(LoadScript(dir + "/v11.rsq", &s, messages));
  EXPECT_EQ(messages.last().text, LoadString(5024));
  EXPECT_EQ(messages.last().icon, MessageIcon::None);

  bad.resize(bad.size() - 1);
  bad[19] = 0;
  WriteAll(dir + "/short.rsq", bad);
  std::string text;
  EXPECT_EQ(ReadScriptFile(dir + "/short.rsq", &s, &text), 2068);
  EXPECT_EQ(text, "This does not appear to be a valid script file");
  EXPECT_FALSE(LoadScript(dir + "/short.rsq", &s, messages));
  EXPECT_EQ(messages.last().icon, MessageIcon::None);
  EXPECT_EQ(s.GetCount(), 0);

  EXPECT_FALSE(SaveScript(dir + "/no/such/folder.rsq", s, messages));
  EXPECT_EQ(messages.last().text,
            "The script file could not be saved because no such file or directory");
  EXPECT_EQ(messages.last().icon, MessageIcon::Stop);
  std::filesystem::remove_all(dir);
}

TEST(ScriptFile, SavingOverAReadOnlyFileReportsTheReason) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  std::string dir = test::MakeTempDir("scriptfile");
  std::string path = dir + "/ro.rsq";
  WriteAll(path, Bytes{1, 2, 3});
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  std::string text;
  EXPECT_EQ(WriteScriptFile(path, TwoCommandScript(), &text), 2066);
  EXPECT_EQ(text, "The script file could not be saved because permission denied");
  EXPECT_EQ(ReadAll(path), (Bytes{1, 2, 3}));
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  std::filesystem::remove_all(dir);
}

TEST(ScriptFile, AnOverlongTextIsRefusedBeforeTheFileIsTouched) {
  std::string dir = test::MakeTempDir("scriptfile");
  std::string path = dir + "/keep.rsq";
  Bytes before = Encode(TwoCommandScript());
  WriteAll(path, before);
  CScript s;
  auto c = std::make_unique<CScriptCommand>(544);
  c->Text1.assign(1024, 'd');
  s.Append(std::move(c));
  Bytes ignored;
  EXPECT_FALSE(EncodeScript(s, &ignored));
  std::string text;
  EXPECT_EQ(WriteScriptFile(path, s, &text), 2066);
  EXPECT_EQ(text, "The script file could not be saved because one of its texts is 1024 "
                  "characters or longer");
  EXPECT_EQ(ReadAll(path), before);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace km

namespace km {
namespace {

// Random damage to a valid file: every answer is a clean code, and a refused file adds
// nothing.
TEST(ScriptFile, DamagedFilesNeverReadOutOfBounds) {
  Bytes good = Encode(TwoCommandScript());
  std::mt19937 rng(7);
  for (int round = 0; round < 3000; ++round) {
    Bytes b = good;
    int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      std::size_t at = rng() % b.size();
      switch (rng() % 3) {
        case 0: b[at] = static_cast<std::uint8_t>(rng()); break;
        case 1: b.resize(at); break;
        default: b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), static_cast<std::uint8_t>(rng())); break;
      }
      if (b.empty()) break;
    }
    CScript s;
    int r = DecodeExact(b, &s);
    ASSERT_TRUE(r == 0 || r == 2068 || r == 5024) << r;
    if (r != 0) {
      ASSERT_EQ(s.GetCount(), 0);
    }
  }
}

}  // namespace
}  // namespace km
