#pragma once

// What each parameter dialog template shows for the fields of its commands: control
// ids, texts (string ids) and group titles. Which fields a command has, their ranges,
// defaults and rules come from the command catalogue; this table adds only what is seen
// on screen. Controls carry the object name "ctl<id>", the preview frame "ctl1019".

#include "script/CommandCatalogue.h"

namespace km::gui {

// One control: its id and the string id of its text (for an edit, the label before it).
struct ControlText {
  int id = 0;
  int text = 0;
};

// How a field of the catalogue row appears on a template.
//  - kNumber: controls[0] is the edit and its label;
//  - kChoice: one radio button per value, in value order;
//  - kCheck, kColor: controls[0] is the check box or the button.
struct FieldLayout {
  Field field = Field::kInt1;
  SmallList<ControlText, 8> controls{};
  int group = 0;   // string id of the group box title around the controls, 0: none
  int beside = 0;  // kNumber: shown right of this radio button instead of with a label
};

struct TemplateLayout {
  int templateId = 0;
  int title = 0;  // string id of the template's own caption
  SmallList<FieldLayout, 7> fields{};
};

// The layout of dialog template `templateId`, or null for a template without one.
const TemplateLayout* FindTemplateLayout(int templateId);

// The layout of `field` on that template, or null.
const FieldLayout* FindFieldLayout(const TemplateLayout& layout, Field field);

// Ids with a meaning for the dialogs' rules.
namespace ctl {
inline constexpr int kPreviewFrame = 1019;
inline constexpr int kColor = 1038;
inline constexpr int kFreeAngleChoice = 114;
inline constexpr int kFreeAngle = 115;
inline constexpr int kTopBorder = 101;
inline constexpr int kNearest = 111;
inline constexpr int kOrdered = 112;
inline constexpr int kDiffusion = 113;
inline constexpr int kBleed = 122;
inline constexpr int kMedianCut = 1049;
inline constexpr int kOctree = 1051;
inline constexpr int kTotalColors = 1025;
inline constexpr int kOctreeMethod = 1048;
inline constexpr int kWindowsColors = 1072;
inline constexpr int kDial = 1140;
inline constexpr int kSlider = 1141;
inline constexpr int kAngle = 1186;
inline constexpr int kPixels = 1224;
inline constexpr int kOkButton = 1;      // IDOK
inline constexpr int kCancelButton = 2;  // IDCANCEL
}  // namespace ctl

// Texts the dialogs use beyond the controls.
namespace ptext {
inline constexpr int kEnterInteger = 22000;   // "Please enter an integer."
inline constexpr int kEnterNumber = 22001;    // "Please enter a number."
inline constexpr int kNumberRange = 22002;    // "Please enter a number between %s and %s."
inline constexpr int kHoldForOriginal = 22003;
inline constexpr int kIntensity = 22127;      // "&Intensity:"
}  // namespace ptext

}  // namespace km::gui
