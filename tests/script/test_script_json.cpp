#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "script/CommandCatalogue.h"
#include "script/ScriptFile.h"
#include "script/ScriptJson.h"

namespace km {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Script file bytes -> JSON -> script file bytes.
Bytes ThroughJson(const Bytes& file, std::string* json) {
  CScript script;
  ScriptFileExtras extras;
  EXPECT_EQ(DecodeScript(file.data(), file.size(), &script, &extras), 0);
  std::string message;
  EXPECT_TRUE(ScriptToJson(script, &extras, json, &message)) << message;
  CScript back;
  ScriptFileExtras backExtras;
  EXPECT_TRUE(JsonToScript(*json, &back, &backExtras, &message)) << message << "\n" << *json;
  Bytes bytes;
  EXPECT_TRUE(EncodeScript(back, &bytes, &backExtras));
  return bytes;
}

Bytes Encode(const CScript& script, const ScriptFileExtras* extras = nullptr) {
  Bytes bytes;
  EXPECT_TRUE(EncodeScript(script, &bytes, extras));
  return bytes;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(ScriptJson, EveryExampleScriptRoundTripsByteForByte) {
  namespace fs = std::filesystem;
  int scripts = 0;
  for (const auto& entry : fs::directory_iterator(std::string(KILNMARK_TEST_DATA) + "/../../examples")) {
    if (entry.path().extension() != ".rsq") continue;
    SCOPED_TRACE(entry.path().string());
    const Bytes file = ReadAll(entry.path().string());
    std::string json;
    EXPECT_EQ(ThroughJson(file, &json), file);
    ++scripts;
  }
  EXPECT_GE(scripts, 3);
}

// A value of `def`'s range other than its default: a third of the way up, else the top,
// else the bottom.
std::int32_t OtherThanDefault(const FieldDef& def) {
  const Range r = def.valid;
  for (std::int32_t v : {r.min + (r.max - r.min) / 3, r.max, r.min}) {
    if (v != def.def) return v;
  }
  return r.min;
}

// All 56 commands, every field they use set away from its default; some with fields no
// command reads, values outside their ranges, texts that are not plain UTF-8, and reals
// that are not plain numbers, all of which the file keeps.
CScript EveryCommand() {
  CScript script;
  int n = 0;
  for (const CommandInfo& info : CommandCatalogue()) {
    auto c = std::make_unique<CScriptCommand>(info.code);
    for (const FieldDef& def : info.fields) {
      if (IsIntField(def.field)) {
        (*c).*IntMember(def.field) = OtherThanDefault(def);
      } else if (IsRealField(def.field)) {
        (*c).*RealMember(def.field) = 2.2f;
      } else if (def.control == Control::kColor) {
        (*c).*ColorMember(def.field) = 0x00336699u + static_cast<std::uint32_t>(info.code);
      } else {
        (*c).*TextMember(def.field) = "/srv/Ångström/τ-" + std::to_string(info.code);
      }
    }
    switch (info.code == kGammaCorrection ? 0 : n++ % 7) {
      case 1: c->Int5 = 7; c->Real2 = std::bit_cast<float>(0x7FC01234u); break;  // a NaN with a payload
      case 2: c->Real2 = -0.0f; c->Color2 = 0xFF000001u; break;
      case 3: c->Text2 = std::string("a\0\xff", 3); c->Real1 = std::bit_cast<float>(0x00000001u); break;
      case 4: c->Int1 = -2147483647 - 1; c->Real2 = 3.4e38f; break;
      case 5: c->Text1 = std::string(1023, 'x'); c->Color1 = 0x01000000u; break;
      default: break;
    }
    script.Append(std::move(c));
  }
  return script;
}

TEST(ScriptJson, AScriptOfAllFiftySixCommandsRoundTripsByteForByte) {
  ScriptFileExtras extras;
  extras.trailing = {0x00, 0xFF, 0x10};
  const Bytes file = Encode(EveryCommand(), &extras);
  std::string json;
  EXPECT_EQ(ThroughJson(file, &json), file);
  EXPECT_EQ(Count(json, "\"code\": "), 56u);
  EXPECT_NE(json.find("\"gamma\": 2.2\n"), std::string::npos) << json;
  EXPECT_NE(json.find("\"folder\": \"/srv/Ångström/τ-544\""), std::string::npos);
  EXPECT_NE(json.find("\"Real2\": \"0x7FC01234\""), std::string::npos);
  EXPECT_NE(json.find("\"Real2\": \"0x80000000\""), std::string::npos);
  EXPECT_NE(json.find("\"Text2\": \"6100ff\""), std::string::npos);
  EXPECT_NE(json.find("\"trailing\": \"00ff10\""), std::string::npos);
}

TEST(ScriptJson, AnEmptyScriptKeepsANegativeCountAndTrailingBytes) {
  ScriptFileExtras extras;
  extras.count = -3;
  extras.trailing = {0x01, 0x02};
  const Bytes file = Encode(CScript(), &extras);
  ASSERT_EQ(file.size(), 26u);
  std::string json;
  EXPECT_EQ(ThroughJson(file, &json), file);
  EXPECT_EQ(json, "{\n  \"commands\": [],\n  \"count\": -3,\n  \"trailing\": \"0102\"\n}\n");
}

// Worked out by hand: unset fields are left out, a colour 0x00FF8000 (red 0, green 0x80,
// blue 0xFF) reads #0080FF, the transparency mode 2 with entry 3 is 2 * 256 + 3.
TEST(ScriptJson, TheFormNamesEachFieldAndLeavesUnsetOnesOut) {
  CScript script;
  auto hms = std::make_unique<CScriptCommand>(505);
  hms->Int1 = 90;
  hms->Int2 = 40;
  script.Append(std::move(hms));
  auto gamma = std::make_unique<CScriptCommand>(511);
  gamma->Real1 = 1.2f;
  script.Append(std::move(gamma));
  auto output = std::make_unique<CScriptCommand>(544);
  output->Int1 = 18;
  output->Int2 = 1;
  output->Int3 = 300;
  output->Int4 = 15;
  output->Int5 = 0x0203;
  output->Text1 = "out/pngs";
  output->Color1 = 0x00FF8000u;
  script.Append(std::move(output));
  script.Append(std::make_unique<CScriptCommand>(537));
  std::string json;
  std::string message;
  ASSERT_TRUE(ScriptToJson(script, nullptr, &json, &message)) << message;
  EXPECT_EQ(json, R"({
  "commands": [
    {
      "code": 505,
      "command": "Adjust Highlight/Midtone/Shadow",
      "highlight": 90,
      "midtone": 40
    },
    {
      "code": 511,
      "command": "Gamma Correction",
      "gamma": 1.2
    },
    {
      "code": 544,
      "command": "Set Output Options",
      "type": 18,
      "subType": 1,
      "resolution": 300,
      "compression": 15,
      "transparency": 515,
      "folder": "out/pngs",
      "transparentColor": "#0080FF"
    },
    {
      "code": 537,
      "command": "Filter: Blur"
    }
  ]
}
)");
}

TEST(ScriptJson, AHandWrittenFormNeedsOnlyTheNameAndTheFieldsItSets) {
  CScript script;
  script.Append(std::make_unique<CScriptCommand>(506));
  std::string message;
  ASSERT_TRUE(JsonToScript(R"({"commands": [{"command": "Gamma Correction", "gamma": 2.5},
                                             {"code": 509, "left": 4, "color": "#ff8000"},
                                             {"code": 519, "colors": 0, "windowsColors": 1}]})",
                           &script, nullptr, &message))
      << message;
  ASSERT_EQ(script.GetCount(), 4);  // appended after the command already there
  const CScriptCommand& gamma = *script.GetAt(1);
  EXPECT_EQ(gamma.Code, 511);
  EXPECT_EQ(gamma.Real1, 2.5f);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(gamma.Real2), kUnsetRealBits);
  EXPECT_EQ(gamma.Int1, kUnsetParam);
  const CScriptCommand& borders = *script.GetAt(2);
  EXPECT_EQ(borders.Int1, 4);
  EXPECT_EQ(borders.Int2, kUnsetParam);
  EXPECT_EQ(borders.Color1, 0x000080FFu);  // red FF in the low byte
  // 20 colours in all with the Windows colours: none of them optimised.
  EXPECT_EQ(script.GetAt(3)->Int1, 0);
  EXPECT_EQ(script.GetAt(3)->Int2, 1);
}

struct Refusal {
  const char* name;
  std::string json;
  std::string message;  // the whole message, or its start when `prefix`
  bool prefix = false;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

class ScriptJsonRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(ScriptJsonRefusal, NamesTheCommandAndFieldAndReadsNothing) {
  CScript script;
  script.Append(std::make_unique<CScriptCommand>(506));
  ScriptFileExtras extras;
  extras.count = -9;
  std::string message;
  EXPECT_FALSE(JsonToScript(GetParam().json, &script, &extras, &message));
  if (GetParam().prefix) {
    EXPECT_EQ(message.substr(0, GetParam().message.size()), GetParam().message) << message;
  } else {
    EXPECT_EQ(message, GetParam().message);
  }
  EXPECT_EQ(script.GetCount(), 1);
  EXPECT_EQ(extras.count, -9);
}

std::string One(const std::string& command) { return R"({"commands": [)" + command + "]}"; }

const std::string kBC = "Command 1 (Adjust Brightness/Contrast), field ";

INSTANTIATE_TEST_SUITE_P(
    Cases, ScriptJsonRefusal,
    ::testing::Values(
        Refusal{"malformedValue", One(R"({"code": 502, "brightness": 1x})"),
                kBC + "\"brightness\": the JSON text is malformed: parse error at line 1", true},
        Refusal{"malformedEnd", R"({"commands": [{"code": 509}, {"code": 509, "left": 3,)",
                "Command 2 (Add Borders), field \"left\": the JSON text is malformed: ", true},
        Refusal{"empty", "", "Script: the JSON text is malformed: ", true},
        Refusal{"duplicate", One(R"({"code": 502, "contrast": 3, "contrast": 4})"),
                kBC + "\"contrast\": the field is given twice"},
        Refusal{"unknownCode", R"({"commands": [{"code": 506}, {"code": 600, "brightness": 1}]})",
                "Command 2, field \"code\": unknown command code 600"},
        Refusal{"codeNotWhole", One(R"({"code": 502.0})"), "Command 1, field \"code\": a whole number was expected"},
        Refusal{"unknownName", One(R"({"command": "Flip"})"), "Command 1, field \"command\": unknown command name \"Flip\""},
        Refusal{"nameAndCodeDiffer", One(R"({"code": 502, "command": "Flip Image"})"),
                kBC + "\"command\": the name does not match the code, whose command is \"Adjust Brightness/Contrast\""},
        Refusal{"noCode", One(R"({"brightness": 3})"), "Command 1: either \"code\" or \"command\" is required"},
        Refusal{"notAnObject", One("506"), "Command 1: an object was expected"},
        Refusal{"outOfRange", One(R"({"code": 502, "brightness": 150})"), kBC + "\"brightness\": 150 is outside -100..100"},
        Refusal{"beyond32Bits", One(R"({"code": 502, "contrast": 5000000000})"),
                kBC + "\"contrast\": 5000000000 is outside -100..100"},
        Refusal{"wrongType", One(R"({"code": 502, "contrast": "high"})"), kBC + "\"contrast\": a whole number was expected"},
        Refusal{"fraction", One(R"({"code": 502, "contrast": 1.5})"), kBC + "\"contrast\": a whole number was expected"},
        Refusal{"gammaRange", One(R"({"code": 511, "gamma": 5})"),
                "Command 1 (Gamma Correction), field \"gamma\": 5 is outside 0.01..4.99"},
        Refusal{"gammaHuge", One(R"({"code": 511, "gamma": 1e300})"),
                "Command 1 (Gamma Correction), field \"gamma\": 1e+300 is outside 0.01..4.99"},
        Refusal{"gammaText", One(R"({"code": 511, "gamma": "1.2"})"),
                "Command 1 (Gamma Correction), field \"gamma\": a number was expected"},
        Refusal{"colourShort", One(R"({"code": 509, "color": "#12345"})"),
                "Command 1 (Add Borders), field \"color\": a color written #RRGGBB was expected"},
        Refusal{"colourNumber", One(R"({"code": 509, "color": 255})"),
                "Command 1 (Add Borders), field \"color\": a color written #RRGGBB was expected"},
        Refusal{"noSuchField", One(R"({"code": 502, "brightnes": 3})"), kBC + "\"brightnes\": no such field"},
        Refusal{"anotherCommandsField", One(R"({"code": 506, "gamma": 1.2})"),
                "Command 1 (Flip Image), field \"gamma\": no such field"},
        Refusal{"namedAndRaw", One(R"({"code": 502, "contrast": 3, "raw": {"Int2": 4}})"),
                kBC + "\"raw.Int2\": the field is given twice"},
        Refusal{"windowsColoursTotal", One(R"({"code": 519, "colors": 250, "windowsColors": 1})"),
                "Command 1 (Apply Fully Optimized Palette), field \"colors\": 250 is outside 0..236"},
        Refusal{"noWindowsColours", One(R"({"code": 519, "colors": 0})"),
                "Command 1 (Apply Fully Optimized Palette), field \"colors\": 0 is outside 1..256"},
        Refusal{"textZero", One(R"({"code": 518, "file": "a\u0000b"})"),
                "Command 1 (Apply a New Palette), field \"file\": the text holds a zero byte"},
        Refusal{"textLong", One(R"({"code": 544, "folder": ")" + std::string(1024, 'a') + "\"}"),
                "Command 1 (Set Output Options), field \"folder\": the text is longer than 1023 bytes"},
        Refusal{"rawBits", One(R"({"code": 506, "raw": {"Real2": "0x1234"}})"),
                "Command 1 (Flip Image), field \"raw.Real2\": a bit pattern written 0xXXXXXXXX was expected"},
        Refusal{"rawHex", One(R"({"code": 506, "raw": {"Text2": "abc"}})"),
                "Command 1 (Flip Image), field \"raw.Text2\": pairs of hexadecimal digits were expected"},
        Refusal{"rawUnknown", One(R"({"code": 506, "raw": {"Int6": 1}})"),
                "Command 1 (Flip Image), field \"raw.Int6\": no such field"},
        Refusal{"rawBeyond32Bits", One(R"({"code": 506, "raw": {"Int1": 2147483648}})"),
                "Command 1 (Flip Image), field \"raw.Int1\": 2147483648 is outside -2147483648..2147483647"},
        Refusal{"rawColourNegative", One(R"({"code": 506, "raw": {"Color2": -1}})"),
                "Command 1 (Flip Image), field \"raw.Color2\": -1 is outside 0..4294967295"},
        Refusal{"rawNotObject", One(R"({"code": 506, "raw": [1]})"),
                "Command 1 (Flip Image), field \"raw\": an object was expected"},
        Refusal{"topNotObject", "[]", "Script: an object was expected"},
        Refusal{"noCommands", "{}", "Script, field \"commands\": a list was expected"},
        Refusal{"topUnknown", R"({"commands": [], "comment": "x"})", "Script, field \"comment\": no such field"},
        Refusal{"countWithCommands", R"({"commands": [{"code": 506}], "count": -1})",
                "Script, field \"count\": only a script without commands keeps a count, of 0 or less"},
        Refusal{"countPositive", R"({"commands": [], "count": 2})",
                "Script, field \"count\": only a script without commands keeps a count, of 0 or less"},
        Refusal{"trailingNotHex", R"({"commands": [], "trailing": "zz"})",
                "Script, field \"trailing\": pairs of hexadecimal digits were expected"}));

TEST(ScriptJson, EveryFieldNameIsItsOwnMember) {
  for (const CommandInfo& info : CommandCatalogue()) {
    for (const FieldDef& def : info.fields) {
      const std::string name = def.name;
      EXPECT_TRUE(name != "code" && name != "command" && name != "raw") << info.code << " " << name;
      EXPECT_TRUE(std::all_of(name.begin(), name.end(), [](char ch) { return std::isalpha(static_cast<unsigned char>(ch)); }))
          << name;
      EXPECT_TRUE(std::islower(static_cast<unsigned char>(name[0]))) << name;
    }
  }
}

}  // namespace
}  // namespace km
