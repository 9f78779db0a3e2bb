#pragma once

// The output types as the batch dialogs offer them: each type's sub-type strings, the
// settings key its last sub-type is remembered under (section "BatchSubTypes"), the
// sub-type chosen when nothing is remembered, and which "Format Settings" dialog its
// "&Options..." button opens. Types are numbered 1..27 (OutputFormatIndex).

#include <QString>
#include <QStringList>

class QComboBox;

namespace km {
class Profile;
}

namespace km::gui {

// Which settings "&Options..." edits: none, compression and DPI (J), DPI (D), or the
// transparency (T).
enum class OptionsKind { kNone, kCompressionDpi, kDpi, kTransparency };

struct OutputTypeInfo {
  int keyIndex;        // index into settings::kSubTypeKeys, -1: no sub-types
  int firstSubType;    // string id of sub-type 0
  int subTypeCount;    // 0: the single entry "None"
  int defaultSubType;  // chosen when nothing is remembered
  OptionsKind options;
};

// The type's entry; format outside 1..27 answers a type without sub-types or options.
const OutputTypeInfo& OutputTypeOf(int format);

// The 27 type names, each output string cut before its first "|".
QStringList OutputTypeNames();

// The 27 types as file-dialog name filters: "BMP - OS/2 or Windows Bitmap (*.bmp)".
QStringList OutputNameFilters();

// The entries of the sub-type list: the type's strings, or "None" alone.
QStringList SubTypeNames(int format);

// The sub-type remembered for the type (its default when nothing is), limited to the
// last entry of its list; 0 for a type without sub-types.
int RememberedSubType(const Profile& profile, int format);

// Remembers the sub-type under the type's key; nothing for a type without sub-types.
void RememberSubType(Profile& profile, int format, int subType);

// Fills the combo box with the type's sub-type list and selects `select`, or the
// remembered sub-type when `select` is outside the list.
void FillSubTypeBox(QComboBox* box, const Profile& profile, int format, int select = -1);

}  // namespace km::gui
