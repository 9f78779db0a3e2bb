#include "script/ScriptJson.h"

#include <array>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "StringTable.h"
#include "imaging/palette/Palette.h"
#include "script/CommandCatalogue.h"

namespace km {
namespace {

using Json = nlohmann::ordered_json;

// Where a refusal is: "Command 3 (Adjust Brightness/Contrast), field \"contrast\": ...".
constexpr int kTextNamedCommandField = 2661;
constexpr int kTextCommandField = 2662;
constexpr int kTextCommand = 2663;
constexpr int kTextNamedCommand = 2687;
constexpr int kTextScriptField = 2664;
constexpr int kTextScript = 2665;
// What is wrong there.
constexpr int kTextMalformed = 2666;
constexpr int kTextUnknownCode = 2668;
constexpr int kTextUnknownName = 2669;
constexpr int kTextNameMismatch = 2670;
constexpr int kTextOutside = 2671;
constexpr int kTextWantInteger = 2672;
constexpr int kTextWantNumber = 2673;
constexpr int kTextWantText = 2674;
constexpr int kTextWantColor = 2675;
constexpr int kTextWantObject = 2676;
constexpr int kTextWantList = 2677;
constexpr int kTextWantHex = 2678;
constexpr int kTextWantBits = 2679;
constexpr int kTextNoSuchField = 2680;
constexpr int kTextGivenTwice = 2681;
constexpr int kTextWantCode = 2682;
constexpr int kTextZeroByte = 2683;
constexpr int kTextTooLong = 2684;
constexpr int kTextCountWithoutCommands = 2685;

constexpr std::size_t kFieldCount = static_cast<std::size_t>(Field::kColor2) + 1;

// The stored field names, the keys of "raw", in the order of Field.
constexpr std::array<const char*, kFieldCount> kRawNames = {"Int1",  "Int2",  "Int3",  "Int4",  "Int5",  "Real1",
                                                            "Real2", "Text1", "Text2", "Color1", "Color2"};

std::size_t IndexOf(Field f) { return static_cast<std::size_t>(f); }

struct Where {
  int command = 0;   // from 1; 0 for the members of the script itself
  std::string name;  // the command's display name, when known
  std::string field;
};

std::string Located(const Where& w, const std::string& what) {
  if (w.command > 0) {
    if (w.field.empty()) {
      return w.name.empty() ? FormatString(kTextCommand, w.command, what)
                            : FormatString(kTextNamedCommand, w.command, w.name, what);
    }
    return w.name.empty() ? FormatString(kTextCommandField, w.command, w.field, what)
                          : FormatString(kTextNamedCommandField, w.command, w.name, w.field, what);
  }
  return w.field.empty() ? FormatString(kTextScript, what) : FormatString(kTextScriptField, w.field, what);
}

// ---- Values ---------------------------------------------------------------------------

bool IsFresh(const CScriptCommand& c, Field f) {
  if (IsIntField(f)) return c.*IntMember(f) == kUnsetParam;
  if (IsRealField(f)) return std::bit_cast<std::uint32_t>(c.*RealMember(f)) == kUnsetRealBits;
  if (auto text = TextMember(f)) return (c.*text).empty();
  return c.*ColorMember(f) == 0;
}

// The range an integer field holds. "Apply Fully Optimized Palette" with the Windows
// colours stores the optimised colours on top of them: a total of 20..256 keeps 0..236.
Range StoredRange(const CommandInfo& info, const FieldDef& def, const CScriptCommand& c) {
  if ((info.dialog.rules & kRuleOptimizedTotal) != 0 && def.field == Field::kInt1 && c.Int2 == 1) {
    return {0, def.valid.max - kWindowsColorCount};
  }
  return def.valid;
}

float RealBound(const FieldDef& def, std::int32_t v) {
  return static_cast<float>(v) / static_cast<float>(def.scale);
}

bool RealInRange(const FieldDef& def, float v) {
  return std::isfinite(v) && v >= RealBound(def, def.valid.min) && v <= RealBound(def, def.valid.max);
}

// The shortest decimal that reads back as `v`.
std::string RealText(float v) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
  return std::string(buffer, end);
}

// A JSON number that reads back as `v`: the shortest decimal, unless going through a
// double would round it to a neighbour, then the float's exact value.
Json RealNumber(float v) {
  const std::string text = RealText(v);
  double d = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), d);
  if (static_cast<float>(d) != v) d = static_cast<double>(v);
  return Json(d);
}

std::string ColourText(std::uint32_t v) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", v & 0xFFu, (v >> 8) & 0xFFu, (v >> 16) & 0xFFu);
  return buffer;
}

std::optional<std::uint32_t> HexNumber(std::string_view digits) {
  std::uint32_t v = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), v, 16);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return v;
}

// "#RRGGBB" as 0x00BBGGRR.
std::optional<std::uint32_t> ParseColour(std::string_view s) {
  if (s.size() != 7 || s[0] != '#') return std::nullopt;
  const std::optional<std::uint32_t> rgb = HexNumber(s.substr(1));
  if (!rgb) return std::nullopt;
  return (*rgb >> 16) | (*rgb & 0xFF00u) | ((*rgb & 0xFFu) << 16);
}

std::string BitsText(float v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(std::bit_cast<std::uint32_t>(v)));
  return buffer;
}

std::string HexBytes(const std::uint8_t* p, std::size_t n) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string s;
  s.reserve(2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    s += kDigits[p[i] >> 4];
    s += kDigits[p[i] & 0xF];
  }
  return s;
}

bool ParseHexBytes(std::string_view s, std::vector<std::uint8_t>* out) {
  if (s.size() % 2 != 0) return false;
  out->clear();
  for (std::size_t i = 0; i < s.size(); i += 2) {
    const std::optional<std::uint32_t> byte = HexNumber(s.substr(i, 2));
    if (!byte) return false;
    out->push_back(static_cast<std::uint8_t>(*byte));
  }
  return true;
}

bool IsUtf8(const std::string& s) {
  try {
    (void)Json(s).dump();
    return true;
  } catch (const nlohmann::json::exception&) {
    return false;
  }
}

// 0 for a text the reader gives back as it is, else the string id of its fault.
int TextFault(const std::string& s) {
  if (s.find('\0') != std::string::npos) return kTextZeroByte;
  if (s.size() > kMaxScriptTextLength) return kTextTooLong;
  return 0;
}

std::string TextFaultMessage(int id) {
  return id == kTextTooLong ? FormatString(id, static_cast<long>(kMaxScriptTextLength)) : LoadString(id);
}

// A JSON integer as a wide number; one beyond every 64-bit signed value stays out of
// every range.
std::optional<std::int64_t> WholeNumber(const Json& v) {
  if (v.is_number_unsigned()) {
    const auto u = v.get<std::uint64_t>();
    return u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
               ? std::numeric_limits<std::int64_t>::max()
               : static_cast<std::int64_t>(u);
  }
  if (v.is_number_integer()) return v.get<std::int64_t>();
  return std::nullopt;
}

std::string Outside(const std::string& value, const std::string& min, const std::string& max) {
  return FormatString(kTextOutside, value, min, max);
}

std::string Outside(const Json& value, std::int64_t min, std::int64_t max) {
  return Outside(value.dump(), std::to_string(min), std::to_string(max));
}

// ---- Script to JSON -----------------------------------------------------------------

// The readable member of a field, or none when its value needs the raw form.
std::optional<Json> Readable(const CommandInfo& info, const FieldDef& def, const CScriptCommand& c) {
  const Field f = def.field;
  if (IsIntField(f)) {
    const std::int32_t v = c.*IntMember(f);
    return StoredRange(info, def, c).contains(v) ? std::optional<Json>(v) : std::nullopt;
  }
  if (IsRealField(f)) {
    const float v = c.*RealMember(f);
    return RealInRange(def, v) ? std::optional<Json>(RealNumber(v)) : std::nullopt;
  }
  if (auto text = TextMember(f)) {
    const std::string& s = c.*text;
    return TextFault(s) == 0 && IsUtf8(s) ? std::optional<Json>(s) : std::nullopt;
  }
  const std::uint32_t v = c.*ColorMember(f);
  return v <= 0xFFFFFFu ? std::optional<Json>(ColourText(v)) : std::nullopt;
}

Json RawValue(const CScriptCommand& c, Field f) {
  if (IsIntField(f)) return c.*IntMember(f);
  if (IsRealField(f)) return BitsText(c.*RealMember(f));
  if (auto text = TextMember(f)) {
    const std::string& s = c.*text;
    return HexBytes(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
  }
  return c.*ColorMember(f);
}

bool CommandToJson(const CScriptCommand& c, int number, Json* out, std::string* message) {
  const CommandInfo* info = FindCommand(c.Code);
  if (!info) {
    *message = Located({number, {}, "code"}, FormatString(kTextUnknownCode, std::to_string(c.Code)));
    return false;
  }
  Json o = Json::object();
  o["code"] = c.Code;
  o["command"] = CommandName(c.Code);
  std::array<bool, kFieldCount> used{};
  std::array<bool, kFieldCount> raw{};
  for (const FieldDef& def : info->fields) {
    used[IndexOf(def.field)] = true;
    if (def.control != Control::kColor && IsFresh(c, def.field)) continue;
    if (std::optional<Json> v = Readable(*info, def, c)) {
      o[def.name] = std::move(*v);
    } else {
      raw[IndexOf(def.field)] = true;
    }
  }
  Json rawMembers = Json::object();
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    const auto f = static_cast<Field>(i);
    if (raw[i] || (!used[i] && !IsFresh(c, f))) rawMembers[kRawNames[i]] = RawValue(c, f);
  }
  if (!rawMembers.empty()) o["raw"] = std::move(rawMembers);
  *out = std::move(o);
  return true;
}

// ---- JSON to script -----------------------------------------------------------------

const FieldDef* FieldNamed(const CommandInfo& info, std::string_view name) {
  for (const FieldDef& def : info.fields) {
    if (name == def.name) return &def;
  }
  return nullptr;
}

const CommandInfo* CommandNamed(std::string_view name) {
  for (const CommandInfo& info : CommandCatalogue()) {
    if (CommandName(info.code) == name) return &info;
  }
  return nullptr;
}

const CommandInfo* CommandOfCode(const Json& code) {
  const std::optional<std::int64_t> v = WholeNumber(code);
  return v && *v >= kFirstCommandCode && *v <= kLastCommandCode ? FindCommand(static_cast<int>(*v)) : nullptr;
}

// A readable member into its field. Integer ranges are checked once the whole command
// is in; anything else wrong answers the message.
std::string ReadNamed(const Json& v, const FieldDef& def, CScriptCommand* c) {
  const Field f = def.field;
  if (IsIntField(f)) {
    const std::optional<std::int64_t> n = WholeNumber(v);
    if (!n) return LoadString(kTextWantInteger);
    if (*n < std::numeric_limits<std::int32_t>::min() || *n > std::numeric_limits<std::int32_t>::max()) {
      return Outside(v, def.valid.min, def.valid.max);
    }
    c->*IntMember(f) = static_cast<std::int32_t>(*n);
    return {};
  }
  if (IsRealField(f)) {
    if (!v.is_number()) return LoadString(kTextWantNumber);
    const auto d = v.get<double>();
    const bool fits = std::isfinite(d) && std::fabs(d) <= FLT_MAX;
    if (!fits || !RealInRange(def, static_cast<float>(d))) {
      return Outside(v.dump(), RealText(RealBound(def, def.valid.min)), RealText(RealBound(def, def.valid.max)));
    }
    c->*RealMember(f) = static_cast<float>(d);
    return {};
  }
  if (auto text = TextMember(f)) {
    if (!v.is_string()) return LoadString(kTextWantText);
    const auto& s = v.get_ref<const std::string&>();
    if (const int fault = TextFault(s)) return TextFaultMessage(fault);
    c->*text = s;
    return {};
  }
  const std::optional<std::uint32_t> colour =
      v.is_string() ? ParseColour(v.get_ref<const std::string&>()) : std::nullopt;
  if (!colour) return LoadString(kTextWantColor);
  c->*ColorMember(f) = *colour;
  return {};
}

// A member of "raw" into its field, with no range but the stored one.
std::string ReadRaw(const Json& v, Field f, CScriptCommand* c) {
  if (IsIntField(f) || f == Field::kColor1 || f == Field::kColor2) {
    const std::optional<std::int64_t> n = WholeNumber(v);
    if (!n) return LoadString(kTextWantInteger);
    if (IsIntField(f)) {
      using Limits = std::numeric_limits<std::int32_t>;
      if (*n < Limits::min() || *n > Limits::max()) return Outside(v, Limits::min(), Limits::max());
      c->*IntMember(f) = static_cast<std::int32_t>(*n);
    } else {
      using Limits = std::numeric_limits<std::uint32_t>;
      if (*n < 0 || *n > Limits::max()) return Outside(v, 0, Limits::max());
      c->*ColorMember(f) = static_cast<std::uint32_t>(*n);
    }
    return {};
  }
  if (!v.is_string()) return LoadString(IsRealField(f) ? kTextWantBits : kTextWantHex);
  const auto& s = v.get_ref<const std::string&>();
  if (IsRealField(f)) {
    const std::optional<std::uint32_t> bits =
        s.size() == 10 && s.starts_with("0x") ? HexNumber(std::string_view(s).substr(2)) : std::nullopt;
    if (!bits) return LoadString(kTextWantBits);
    c->*RealMember(f) = std::bit_cast<float>(*bits);
    return {};
  }
  std::vector<std::uint8_t> bytes;
  if (!ParseHexBytes(s, &bytes)) return LoadString(kTextWantHex);
  if (bytes.size() > kMaxScriptTextLength) return TextFaultMessage(kTextTooLong);
  c->*TextMember(f) = std::string(bytes.begin(), bytes.end());
  return {};
}

bool ReadCommand(const Json& e, int number, CScriptCommand* c, std::string* message) {
  Where w{number, {}, {}};
  const auto fail = [&](const std::string& what) {
    *message = Located(w, what);
    return false;
  };
  if (!e.is_object()) return fail(LoadString(kTextWantObject));
  const auto code = e.find("code");
  const auto name = e.find("command");
  if (code == e.end() && name == e.end()) return fail(LoadString(kTextWantCode));
  const CommandInfo* info = nullptr;
  if (code != e.end()) {
    w.field = "code";
    if (!code->is_number_integer()) return fail(LoadString(kTextWantInteger));
    info = CommandOfCode(*code);
    if (!info) return fail(FormatString(kTextUnknownCode, code->dump()));
    w.name = CommandName(info->code);
  }
  if (name != e.end()) {
    w.field = "command";
    if (!name->is_string()) return fail(LoadString(kTextWantText));
    const CommandInfo* named = CommandNamed(name->get_ref<const std::string&>());
    if (!named) return fail(FormatString(kTextUnknownName, name->get_ref<const std::string&>()));
    if (info && named != info) return fail(FormatString(kTextNameMismatch, w.name));
    info = named;
    w.name = CommandName(info->code);
  }

  *c = CScriptCommand(info->code);
  std::array<bool, kFieldCount> given{};
  std::array<bool, kFieldCount> readable{};
  for (const auto& [key, value] : e.items()) {
    if (key == "code" || key == "command") continue;
    w.field = key;
    if (key == "raw") {
      if (!value.is_object()) return fail(LoadString(kTextWantObject));
      for (const auto& [rawKey, rawValue] : value.items()) {
        w.field = "raw." + rawKey;
        std::size_t i = 0;
        while (i < kFieldCount && rawKey != kRawNames[i]) ++i;
        if (i == kFieldCount) return fail(LoadString(kTextNoSuchField));
        if (given[i]) return fail(LoadString(kTextGivenTwice));
        given[i] = true;
        if (std::string problem = ReadRaw(rawValue, static_cast<Field>(i), c); !problem.empty()) return fail(problem);
      }
      continue;
    }
    const FieldDef* def = FieldNamed(*info, key);
    if (!def) return fail(LoadString(kTextNoSuchField));
    const std::size_t i = IndexOf(def->field);
    if (given[i]) return fail(LoadString(kTextGivenTwice));
    given[i] = readable[i] = true;
    if (std::string problem = ReadNamed(value, *def, c); !problem.empty()) return fail(problem);
  }
  // The range of one integer may depend on another, so they are checked last.
  for (const FieldDef& def : info->fields) {
    if (!IsIntField(def.field) || !readable[IndexOf(def.field)]) continue;
    const Range range = StoredRange(*info, def, *c);
    const std::int32_t v = c->*IntMember(def.field);
    if (!range.contains(v)) {
      w.field = def.name;
      return fail(Outside(Json(v), range.min, range.max));
    }
  }
  return true;
}

// Follows the parser, so that a syntax error can be placed: the member last met at each
// level (the error is in it or right after it), the number of the command, and the
// command once its code or name has been read. Duplicate members are refused here, as
// the parser would keep the last one silently.
class ParseTracker {
public:
  struct DuplicateMember {};

  bool event(Json::parse_event_t e, const Json& parsed) {
    using Event = Json::parse_event_t;
    switch (e) {
      case Event::object_start:
      case Event::array_start:
        if (!stack_.empty() && stack_.back().array) ++stack_.back().elements;
        stack_.emplace_back();
        stack_.back().array = e == Event::array_start;
        break;
      case Event::object_end:
      case Event::array_end:
        stack_.pop_back();
        break;
      case Event::key: {
        Frame& top = stack_.back();
        top.key = parsed.get<std::string>();
        if (!top.keys.insert(top.key).second) throw DuplicateMember{};
        break;
      }
      case Event::value: {
        if (stack_.empty()) break;
        Frame& top = stack_.back();
        if (top.array) {
          ++top.elements;
        } else {
          if (stack_.size() == 3 && top.key == "code") top.info = CommandOfCode(parsed);
          if (stack_.size() == 3 && top.key == "command" && !top.info && parsed.is_string()) {
            top.info = CommandNamed(parsed.get_ref<const std::string&>());
          }
        }
        break;
      }
    }
    return true;
  }

  Where where() const {
    Where w;
    if (stack_.empty() || stack_[0].array) return w;
    if (stack_.size() >= 3 && stack_[0].key == "commands" && stack_[1].array) {
      const Frame& command = stack_[2];
      w.command = stack_[1].elements;
      if (command.info) w.name = CommandName(command.info->code);
      w.field = command.key;
      if (stack_.size() >= 4 && command.key == "raw" && !stack_[3].key.empty()) w.field += "." + stack_[3].key;
      return w;
    }
    w.field = stack_[0].key;
    return w;
  }

private:
  struct Frame {
    bool array = false;
    int elements = 0;
    std::string key;
    std::set<std::string> keys;
    const CommandInfo* info = nullptr;
  };
  std::vector<Frame> stack_;
};

// The parser's message without its "[json.exception...] " tag.
std::string ParserText(const std::exception& e) {
  const std::string text = e.what();
  const std::size_t tag = text.find("] ");
  return tag == std::string::npos ? text : text.substr(tag + 2);
}

}  // namespace

bool ScriptToJson(const CScript& script, const ScriptFileExtras* extras, std::string* json, std::string* message) {
  Json commands = Json::array();
  std::string refusal;
  for (int i = 0; i < script.GetCount(); ++i) {
    Json command;
    if (!CommandToJson(*script.GetAt(i), i + 1, &command, &refusal)) {
      if (message) *message = refusal;
      return false;
    }
    commands.push_back(std::move(command));
  }
  Json root = Json::object();
  root["commands"] = std::move(commands);
  if (extras && script.GetCount() == 0 && extras->count < 0) root["count"] = extras->count;
  if (extras && !extras->trailing.empty()) {
    root["trailing"] = HexBytes(extras->trailing.data(), extras->trailing.size());
  }
  *json = root.dump(2) + "\n";
  if (message) message->clear();
  return true;
}

bool JsonToScript(std::string_view text, CScript* script, ScriptFileExtras* extras, std::string* message) {
  const auto fail = [&](const Where& w, const std::string& what) {
    if (message) *message = Located(w, what);
    return false;
  };
  ParseTracker tracker;
  Json root;
  try {
    root = Json::parse(text.begin(), text.end(),
                       [&tracker](int, Json::parse_event_t e, Json& parsed) { return tracker.event(e, parsed); });
  } catch (const ParseTracker::DuplicateMember&) {
    return fail(tracker.where(), LoadString(kTextGivenTwice));
  } catch (const nlohmann::json::exception& e) {
    return fail(tracker.where(), FormatString(kTextMalformed, ParserText(e)));
  }

  if (!root.is_object()) return fail({}, LoadString(kTextWantObject));
  const Json* commands = nullptr;
  ScriptFileExtras rest;
  for (const auto& [key, value] : root.items()) {
    const Where w{0, {}, key};
    if (key == "commands") {
      if (!value.is_array()) return fail(w, LoadString(kTextWantList));
      commands = &value;
    } else if (key == "count") {
      const std::optional<std::int64_t> n = WholeNumber(value);
      if (!n) return fail(w, LoadString(kTextWantInteger));
      if (*n < std::numeric_limits<std::int32_t>::min()) {
        return fail(w, Outside(value, std::numeric_limits<std::int32_t>::min(), 0));
      }
      if (*n > 0) return fail(w, LoadString(kTextCountWithoutCommands));
      rest.count = static_cast<std::int32_t>(*n);
    } else if (key == "trailing") {
      if (!value.is_string() || !ParseHexBytes(value.get_ref<const std::string&>(), &rest.trailing)) {
        return fail(w, LoadString(kTextWantHex));
      }
    } else {
      return fail(w, LoadString(kTextNoSuchField));
    }
  }
  if (!commands) return fail({0, {}, "commands"}, LoadString(kTextWantList));
  if (rest.count < 0 && !commands->empty()) return fail({0, {}, "count"}, LoadString(kTextCountWithoutCommands));

  std::vector<std::unique_ptr<CScriptCommand>> read;
  std::string refusal;
  for (const Json& element : *commands) {
    auto command = std::make_unique<CScriptCommand>();
    if (!ReadCommand(element, static_cast<int>(read.size()) + 1, command.get(), &refusal)) {
      if (message) *message = refusal;
      return false;
    }
    read.push_back(std::move(command));
  }
  if (script) {
    for (auto& command : read) script->Append(std::move(command));
  }
  if (extras) *extras = std::move(rest);
  if (message) message->clear();
  return true;
}

}  // namespace km
