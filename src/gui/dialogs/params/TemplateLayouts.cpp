#include "gui/dialogs/params/TemplateLayouts.h"

#include <array>

namespace km::gui {
namespace {

using enum Field;

// Shared texts.
constexpr int kColorButton = 22036;     // "&Color..."
constexpr int kDirectionGroup = 22037;  // "Direction"
constexpr int kMethodGroup = 22024;     // "Method"
constexpr int kPaletteGroup = 22077;    // "Palette"
constexpr int kApplyGroup = 22063;      // "Apply using"
constexpr int kWidth = 22018;           // "&Width:"
constexpr int kHeight = 22019;          // "H&eight:"
constexpr int kBleed = 22076;           // "&Reduce color bleeding"
constexpr int kWindows = 22073;         // "&Include Windows' colors"

constexpr FieldLayout Edit(Field f, int id, int label = 0) { return {.field = f, .controls = {{id, label}}}; }
constexpr FieldLayout Box(Field f, int id, int text) { return {.field = f, .controls = {{id, text}}}; }
constexpr FieldLayout Radios(Field f, int group, SmallList<ControlText, 8> buttons) {
  return {.field = f, .controls = buttons, .group = group};
}
constexpr FieldLayout ColorButton() { return Box(kColor1, ctl::kColor, kColorButton); }

// The three reduction methods of 520, 521 and 522.
constexpr FieldLayout Methods(Field f) {
  return Radios(f, kMethodGroup, {{ctl::kNearest, 22086}, {ctl::kOrdered, 22087}, {ctl::kDiffusion, 22088}});
}

constexpr std::array kLayouts = {
    TemplateLayout{30760, kResizeResample,
                   {Radios(kInt1, 22023,
                           {{102, 22010}, {103, 22011}, {104, 22012}, {105, 22013}, {106, 22014}, {1013, 22015},
                            {1014, 22016}, {1022, 22017}}),
                    Edit(kInt3, 1060, kWidth), Edit(kInt4, 1012, kHeight),
                    Radios(kInt2, kMethodGroup, {{1020, 22020}, {1023, 22021}, {1024, 22022}})}},
    // Shared by several commands: the title and the labels come from the command.
    TemplateLayout{1505, 0, {Edit(kInt1, 101), Edit(kInt2, 111)}},
    TemplateLayout{1507, 0, {Edit(kInt1, 101)}},
    TemplateLayout{1508, 0, {Edit(kInt1, 101), Edit(kInt2, 111), Edit(kInt3, 121)}},
    TemplateLayout{123, kRotateImage,
                   {Radios(kInt3, kDirectionGroup, {{101, 22030}, {102, 22031}}),
                    Radios(kInt2, 22038, {{111, 22032}, {112, 22033}, {113, 22034}, {ctl::kFreeAngleChoice, 22035}}),
                    {.field = kInt1, .controls = {{ctl::kFreeAngle, 0}}, .beside = ctl::kFreeAngleChoice},
                    ColorButton()}},
    TemplateLayout{122, kAddBorders,
                   {Edit(kInt3, ctl::kTopBorder, 22040), Edit(kInt4, 102, 22041), Edit(kInt1, 103, 22042),
                    Edit(kInt2, 104, 22043), Box(kInt5, 100, 22044), ColorButton()}},
    TemplateLayout{146, kEnlargeCanvas,
                   {Edit(kInt2, 1011, kWidth), Edit(kInt3, 1012, kHeight), Box(kInt1, 1054, 22050), ColorButton()}},
    TemplateLayout{3002, kGammaCorrection, {Edit(kReal1, 1073, 22052)}},
    TemplateLayout{186, kApplyNewPalette, {Radios(kInt1, kApplyGroup, {{1076, 22060}, {1077, 22061}, {1078, 22062}})}},
    TemplateLayout{30761, kApplyOptimizedPalette,
                   {Edit(kInt1, ctl::kTotalColors, 22070),
                    Radios(kInt5, kPaletteGroup, {{1047, 22071}, {ctl::kOctreeMethod, 22072}}),
                    Box(kInt2, ctl::kWindowsColors, kWindows),
                    Radios(kInt3, kApplyGroup, {{ctl::kNearest, 22074}, {ctl::kDiffusion, 22075}}),
                    Box(kInt4, ctl::kBleed, kBleed)}},
    TemplateLayout{183, 22110,
                   {Radios(kInt1, kPaletteGroup, {{101, 22080}, {102, 22081}, {103, 22082}, {104, 22083}}),
                    Radios(kInt2, 22092, {{121, 22084}, {122, 22085}}), Methods(kInt3),
                    Radios(kInt4, 22093, {{114, 22089}, {115, 22090}, {116, 22091}})}},
    TemplateLayout{184, 22111,
                   {Radios(kInt1, kPaletteGroup, {{ctl::kMedianCut, 22100}, {ctl::kOctree, 22101}, {102, 22102}}),
                    Methods(kInt2), Box(kInt3, ctl::kBleed, kBleed)}},
    TemplateLayout{182, 22112,
                   {Radios(kInt1, kPaletteGroup, {{ctl::kMedianCut, 22100}, {ctl::kOctree, 22101}, {102, 22103}}),
                    Methods(kInt2), Box(kInt3, ctl::kWindowsColors, kWindows), Box(kInt4, ctl::kBleed, kBleed)}},
    TemplateLayout{151, 0, {Edit(kInt1, 101, 22120), ColorButton()}},
    TemplateLayout{149, 0, {Edit(kInt1, 101, 22121)}},
    TemplateLayout{152, kUnsharpen, {Edit(kInt1, 101, 22122), Edit(kInt2, 111, 22123)}},
    TemplateLayout{127, kWind,
                   {Radios(kInt1, kDirectionGroup, {{105, 22124}, {106, 22125}}), Edit(kInt2, 101, 22123)}},
    TemplateLayout{202, kMotionBlur, {Edit(kInt1, ctl::kAngle, 22126), Edit(kInt2, ctl::kPixels, 22128)}},
    TemplateLayout{154, kSkew, {Edit(kInt1, 101, 22129), Edit(kInt2, 111, 22130), ColorButton()}},
    TemplateLayout{125, kAddNoise, {Radios(kInt1, 22134, {{101, 22131}, {102, 22132}}), Edit(kInt2, 111, 22133)}},
    TemplateLayout{148, kMosaic, {Edit(kInt1, 101, 22135), Edit(kInt2, 111, 22136), Box(kInt3, 121, 22137)}},
};

}  // namespace

const TemplateLayout* FindTemplateLayout(int templateId) {
  for (const TemplateLayout& layout : kLayouts) {
    if (layout.templateId == templateId) return &layout;
  }
  return nullptr;
}

const FieldLayout* FindFieldLayout(const TemplateLayout& layout, Field field) {
  for (const FieldLayout& f : layout.fields) {
    if (f.field == field) return &f;
  }
  return nullptr;
}

}  // namespace km::gui
