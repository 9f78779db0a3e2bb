#pragma once

// The catalogue of the 56 script commands: one row per code, read by the dispatcher,
// the parameter descriptions, the dialog defaults and the parameter dialogs.
//
// A row says what a command is: its display name, every parameter field it uses with
// the field's range and default, whether it needs a true colour or greyscale image,
// what its parameter dialog shows and enforces, how its description is formatted, and
// which image operation runs it (with the operation's fixed arguments). The operations
// themselves are bound to Operation values by the dispatcher; this header is free of Qt
// and of image code.
//
// Every field a command uses has a name (`FieldDef::name`, camel case, unique within
// the command), the member that holds it in the JSON form of a script.
//
// Reading the fields of a command for a dialog:
//   const CommandInfo* info = FindCommand(code);
//   for (const FieldDef& f : info->fields) { f.field, f.valid, f.shown, f.def, ... }
// FindField(code, Field::kInt2) answers one field's entry or null.

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "script/Script.h"

namespace km {

// The parameter fields of CScriptCommand.
enum class Field : std::uint8_t { kInt1, kInt2, kInt3, kInt4, kInt5, kReal1, kReal2, kText1, kText2, kColor1, kColor2 };

inline constexpr bool IsIntField(Field f) { return f <= Field::kInt5; }
inline constexpr bool IsRealField(Field f) { return f == Field::kReal1 || f == Field::kReal2; }

// The member behind an integer field (Int1..Int5), a real field (Real1, Real2), a
// colour field (Color1, Color2) or a text field (Text1, Text2); null for a field of
// another kind.
std::int32_t CScriptCommand::*IntMember(Field f);
float CScriptCommand::*RealMember(Field f);
std::uint32_t CScriptCommand::*ColorMember(Field f);
std::string CScriptCommand::*TextMember(Field f);

// An inclusive range. For a real field the bounds are in 1/scale units of the value.
struct Range {
  std::int32_t min = 0;
  std::int32_t max = 0;
  constexpr bool contains(std::int64_t v) const { return v >= min && v <= max; }
  constexpr std::int32_t clamp(std::int32_t v) const { return std::clamp(v, min, max); }
};

// The control a field is edited with.
enum class Control : std::uint8_t {
  kNumber,  // an edit box (with spin or slider where `spin` is set)
  kChoice,  // a radio group: value = index of the chosen button
  kCheck,   // a check box: 1 checked, 0 not
  kColor,   // the "Color..." button and the colour chooser
  kPath,    // a file or folder path
  kOutput,  // part of the output-options dialog, which owns its own controls
};

// Where the lower bound of a field comes from: fixed, or the size of the image the
// dialog is opened on (the canvas of "Enlarge Canvas" cannot be smaller than it).
enum class LowerBound : std::uint8_t { kFixed, kImageWidth, kImageHeight };

// What the dialog does to a stored value when it opens (after the default replaced an
// unset marker).
enum class OnOpen : std::uint8_t {
  kKeep,        // shown as stored
  kClamp,       // clamped to `shown`
  kRaise,       // raised to the lower bound of `shown`, never lowered
  kResetToMin,  // a value outside `valid` becomes valid.min
};

struct FieldDef {
  Field field = Field::kInt1;
  Control control = Control::kNumber;
  std::int32_t def = 0;  // shown for the unset marker; for a real field, in 1/scale units
  Range valid{};         // the range the stored value has; OK refuses others when `validated`
  Range shown{};         // the spin or slider range, and the clamp range on opening
  bool validated = false;
  bool spin = false;
  OnOpen onOpen = OnOpen::kKeep;
  LowerBound lower = LowerBound::kFixed;  // replaces valid.min and shown.min when not fixed
  std::int32_t scale = 1;                 // real fields: stored value = integer / scale
  int label = 0;                          // string id of the value label, 0 = the template's
  const char* name = "";                  // the field's member name in the JSON form of a script

  // The unset-marker default of a real field.
  constexpr float realDefault() const { return static_cast<float>(def) / static_cast<float>(scale); }
};

// A short list held in place, so that rows stay constant data.
template <typename T, std::size_t N>
class SmallList {
public:
  constexpr SmallList() = default;
  constexpr SmallList(std::initializer_list<T> items) : count_(items.size()) {
    std::copy(items.begin(), items.end(), items_.begin());
  }
  constexpr const T* begin() const { return items_.data(); }
  constexpr const T* end() const { return items_.data() + count_; }
  constexpr std::size_t size() const { return count_; }
  constexpr bool empty() const { return count_ == 0; }
  constexpr const T& operator[](std::size_t i) const { return items_[i]; }

private:
  std::array<T, N> items_{};
  std::size_t count_ = 0;
};

using CommandFields = SmallList<FieldDef, 7>;

// ---- Parameter dialog ---------------------------------------------------------------

enum class DialogKind : std::uint8_t {
  kNone,           // no parameters: editing does nothing and succeeds
  kForm,           // a dialog template
  kFileChooser,    // the file-open dialog with an extension template (518)
  kColorChooser,   // the colour chooser alone (545, 546)
  kOutputOptions,  // the output-options dialog of the batch subsystem (544)
};

// Behaviours of a dialog that tie several fields together.
enum DialogRule : std::uint16_t {
  kRuleNone = 0,
  kRuleNonZero = 1 << 0,            // OK with every `nonZero` field 0: message `nonZeroMessage`
  kRuleSymmetricBorders = 1 << 1,   // Int5 checked: a new top (Int3) is copied to all four; negative = 0
  kRuleSymmetricBlock = 1 << 2,     // Int3 checked: the height (Int2) follows the width (Int1)
  kRuleFreeAngleFocus = 1 << 3,     // choosing "Free:" selects the angle text
  // 519: the edit shows the total, Int1 plus 20 when Int2 is 1; 1..256, 8..256 with
  // Octree (Int5 1; choosing it raises a smaller total to 8); "Include Windows' colors"
  // only from a total of 20. Stored: Int1 = total - 20 with Int2 1; a total below 20
  // clears Int2.
  kRuleOptimizedTotal = 1 << 4,
  kRuleOptimizedMethods = 1 << 5,   // optimised palette disables ordered dither; bleed only with diffusion
  kRuleWindowsOnlyOptimized = 1 << 6,  // "Include Windows' colors" only with an optimised palette
  kRuleFirstChoiceIfNone = 1 << 7,  // a radio group with no valid choice gets its first button
  kRuleDirectionDial = 1 << 8,      // Int1 on a direction dial, Int2 on a slider 0..40 mirrored by an edit
};

// A field value that leaves the image as it is; a preview whose fields all hold their
// `unchanged` values skips the operation.
struct FieldValue {
  Field field = Field::kInt1;
  std::int32_t value = 0;
};

struct DialogDef {
  DialogKind kind = DialogKind::kNone;
  int templateId = 0;  // dialog resource id (0 for the choosers)
  bool preview = false;
  int title = 0;        // string id of the title, 0 = the template's
  int colorTitle = 0;   // string id of the colour chooser's title, 0 = its own
  std::uint16_t rules = kRuleNone;
  SmallList<Field, 4> nonZero{};  // kRuleNonZero: the fields of which one must be non-zero
  int nonZeroMessage = 0;
  SmallList<FieldValue, 3> unchanged{};
  int filter = 0;                      // file chooser: string id of the filter
  const char* defaultExtension = nullptr;  // file chooser
  const char* emptyPath = nullptr;     // shown when Text1 is empty
};

// ---- Description --------------------------------------------------------------------

// One argument of a description's format.
struct DescArg {
  enum class Kind : std::uint8_t {
    kInt,            // the field's value
    kReal,           // the field's value as a real number
    kText,           // the field's text
    kColor,          // ColorText of Color1
    kChoice,         // string id + value for value 0..count-1, else empty
    kReverse,        // string id - value for value 0..count-1, else empty
    kZeroOrNot,      // string id when the value is 0, string other otherwise
    kList,           // string ids[value] for value 0..count-1, else empty
    kResizeSize,     // the size text of 501
    kRotateDegrees,  // 90, 180, 270 for Int2 0, 1, 2; Int1 otherwise
    kOptimizedCount, // Int1, plus 20 when Int2 is 1
    kTwoColorMethod, // Int3 0 and 1: ids[0], ids[1]; 2: string id + Int4 for Int4 0..count-1
    kOutputType,     // OutputTypeName(Int1)
    kOutputSubType,  // OutputSubTypeName(Int1, Int2)
  };
  Kind kind = Kind::kInt;
  Field field = Field::kInt1;
  int id = 0;
  int count = 0;
  int other = 0;
  std::array<int, 3> ids{};
};

struct Description {
  int format = 0;  // string id; 0: the single argument alone
  SmallList<DescArg, 5> args{};
};

// The description of a command without parameters: string 1508 "None".
inline constexpr int kNoParametersText = 1508;

// ---- Operation ----------------------------------------------------------------------

// The image operation a command runs; the dispatcher binds each to a function.
enum class Operation : std::uint8_t {
  kResize, kBrightnessContrast, kAdjustRGB, kAdjustHSL, kHighlightMidtoneShadow, kFlip, kMirror,
  kRotate, kBorders, kCanvas, kGamma, kGreyscale, kEqualize, kStretchHistogram, kInvert,
  kPosterize, kSolarize, kApplyPaletteFile, kFullyOptimized, kTwoColors, kReduceColors,
  kTrueColor, kColorize, kPerspective, kWarp, kConvolve, kUnsharpen, kNothing, kCircle,
  kPentagon, kWind, kMotionBlur, kSkew, kAddNoise, kDespeckle, kRankFilter, kMosaic,
  kCount
};

// Fixed arguments of an operation shared by several commands: the target depth of
// kReduceColors, the axis of kPerspective (0 horizontal, 1 vertical), the kernel of
// kConvolve, the mode of kRankFilter; for kWarp the signs by which the effect Int1
// moves the horizontal (a) and vertical (b) factor away from 100.
struct OperationArgs {
  int a = 0;
  int b = 0;
};

// Which images a command accepts. kSometimes: the operation itself refuses some
// settings on other images (501 "resample only", 508 with a free angle).
enum class TrueColor : std::uint8_t { kAny, kRequired, kSometimes };

// ---- The row ------------------------------------------------------------------------

struct CommandInfo {
  CommandCode code{};
  TrueColor trueColor = TrueColor::kAny;
  CommandFields fields{};
  DialogDef dialog{};
  Description description{kNoParametersText, {}};
  Operation operation = Operation::kNothing;
  OperationArgs args{};

  // The display name's string id is the code itself.
  constexpr int nameId() const { return code; }
  constexpr bool hasDialog() const { return dialog.kind != DialogKind::kNone; }
};

// The row of `code`, or null for a code outside 501..556.
const CommandInfo* FindCommand(int code);

// The entry of `field` in the row of `code`, or null when the command does not use it.
const FieldDef* FindField(int code, Field field);

// All 56 rows in code order.
std::span<const CommandInfo> CommandCatalogue();

// ---- Reading a field definition in a dialog ---------------------------------------------------
// imageWidth and imageHeight are those of the image the dialog is opened on; they matter
// only for fields whose lower bound is the image size.

// The range OK accepts (when the field is validated) and the spin / clamp range.
Range ValidRange(const FieldDef& entry, int imageWidth, int imageHeight);
Range ShownRange(const FieldDef& entry, int imageWidth, int imageHeight);

// What an integer field shows when its dialog opens: the stored value, or the default
// for the unset marker, then the field's opening rule.
std::int32_t OpeningValue(const FieldDef& entry, std::int32_t stored, int imageWidth, int imageHeight);

// The same for a real field: the default for the marker, then the opening rule.
float OpeningReal(const FieldDef& entry, float stored);

// Whether OK accepts `value` for the field (always, for a field OK does not validate).
bool AcceptedOnOk(const FieldDef& entry, std::int64_t value, int imageWidth, int imageHeight);

}  // namespace km
