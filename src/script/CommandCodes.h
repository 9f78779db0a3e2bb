#pragma once

// The codes of the 56 script commands. A code is also the string id of the command's
// display name, and the number stored in script files and clipboard blocks.

namespace km {

enum CommandCode : int {
  kResizeResample = 501,
  kBrightnessContrast = 502,
  kAdjustRGB = 503,
  kAdjustHSL = 504,
  kHighlightMidtoneShadow = 505,
  kFlipImage = 506,
  kMirrorImage = 507,
  kRotateImage = 508,
  kAddBorders = 509,
  kEnlargeCanvas = 510,
  kGammaCorrection = 511,
  kChangeToGreyscale = 512,
  kEqualizeHistogram = 513,
  kStretchHistogram = 514,
  kNegativeImage = 515,
  kPosterizeImage = 516,
  kSolarizeImage = 517,
  kApplyNewPalette = 518,
  kApplyOptimizedPalette = 519,
  kChangeTo2Colors = 520,
  kChangeTo16Colors = 521,
  kChangeTo256Colors = 522,
  kChangeToTrueColor = 523,
  kColorizeImage = 524,
  kHorizontalPerspective = 525,
  kVerticalPerspective = 526,
  kHorizontalCylinder = 527,
  kVerticalCylinder = 528,
  kPinch = 529,
  kPunch = 530,
  kEdgeEnhance = 531,
  kEdgeEnhanceMore = 532,
  kFindEdges = 533,
  kFindHorizontalEdges = 534,
  kFindVerticalEdges = 535,
  kTraceContour = 536,
  kBlur = 537,
  kBlurMore = 538,
  kSoften = 539,
  kSoftenMore = 540,
  kSharpen = 541,
  kSharpenMore = 542,
  kUnsharpen = 543,
  kSetOutputOptions = 544,
  kCircle = 545,
  kPentagon = 546,
  kWind = 547,
  kMotionBlur = 548,
  kSkew = 549,
  kAddNoise = 550,
  kDespeckle = 551,
  kDilate = 552,
  kEmboss = 553,
  kErode = 554,
  kMedianFilter = 555,
  kMosaic = 556,
};

inline constexpr int kFirstCommandCode = kResizeResample;
inline constexpr int kLastCommandCode = kMosaic;
inline constexpr int kCommandCount = kLastCommandCode - kFirstCommandCode + 1;

}  // namespace km
