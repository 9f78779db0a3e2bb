#include "gui/batch/OutputTypes.h"

#include <algorithm>
#include <array>

#include <QComboBox>

#include "common/Profile.h"
#include "common/Settings.h"
#include "fileio/WriteImage.h"
#include "gui/dialogs/DialogText.h"

namespace km::gui {
namespace {

constexpr int kFirstOutputType = 1700;
constexpr int kNone = 1800;

// Key indexes into settings::kSubTypeKeys.
enum Key : int { kNoKey = -1, kBMP, kDIB, kEPS, kGIF, kIFF, kJPG, kLBM, kMAC, kPBM, kPCX, kPNG, kPPM, kRLE, kTGA, kTIFF, kWPG };

using O = OptionsKind;
constexpr OutputTypeInfo kNoSubTypes{kNoKey, kNone, 0, 0, O::kNone};

// Index 0 is unused; 1..27 follow the output type strings.
constexpr std::array<OutputTypeInfo, kOutputFormatCount + 1> kTypes{{
    kNoSubTypes,
    {kBMP, 1805, 3, 1, O::kNone},           // BMP
    kNoSubTypes,                            // CLP
    kNoSubTypes,                            // CUT
    {kDIB, 1810, 3, 1, O::kNone},           // DIB
    {kEPS, 1815, 4, 0, O::kNone},           // EPS
    {kGIF, 1820, 4, 3, O::kTransparency},   // GIF
    {kIFF, 1825, 2, 0, O::kNone},           // IFF
    kNoSubTypes,                            // IMG
    {kJPG, 1890, 2, 0, O::kCompressionDpi}, // JIF
    {kJPG, 1890, 2, 0, O::kCompressionDpi}, // JPG
    {kLBM, 1830, 2, 0, O::kNone},           // LBM
    {kMAC, 1840, 2, 0, O::kNone},           // MAC
    kNoSubTypes,                            // MSP
    {kPBM, 1850, 2, 0, O::kNone},           // PBM
    kNoSubTypes,                            // PCT
    {kPCX, 1845, 3, 0, O::kDpi},            // PCX
    {kPBM, 1850, 2, 0, O::kNone},           // PGM shares the PBM key
    kNoSubTypes,                            // PIC
    {kPNG, 1885, 2, 0, O::kTransparency},   // PNG
    {kPPM, 1850, 2, 0, O::kNone},           // PPM
    kNoSubTypes,                            // PSD
    kNoSubTypes,                            // RAS
    {kRLE, 1855, 2, 0, O::kNone},           // RLE
    {kTGA, 1860, 6, 4, O::kNone},           // TGA
    {kTIFF, 1870, 5, 2, O::kDpi},           // TIF
    kNoSubTypes,                            // WMF
    {kWPG, 1880, 3, 0, O::kDpi},            // WPG
}};

}  // namespace

const OutputTypeInfo& OutputTypeOf(int format) {
  return format >= 1 && format <= kOutputFormatCount ? kTypes[static_cast<std::size_t>(format)] : kTypes[0];
}

QStringList OutputTypeNames() {
  QStringList names;
  for (int i = 0; i < kOutputFormatCount; ++i) names << DialogString(kFirstOutputType + i).section(QLatin1Char('|'), 0, 0);
  return names;
}

QStringList OutputNameFilters() {
  QStringList filters;
  for (int i = 0; i < kOutputFormatCount; ++i) {
    const QString text = DialogString(kFirstOutputType + i);
    filters << text.section(QLatin1Char('|'), 0, 0) + QStringLiteral(" (") +
                   text.section(QLatin1Char('|'), 1, 1).toLower() + QLatin1Char(')');
  }
  return filters;
}

QStringList SubTypeNames(int format) {
  const OutputTypeInfo& type = OutputTypeOf(format);
  if (type.subTypeCount == 0) return {DialogString(kNone)};
  QStringList names;
  for (int i = 0; i < type.subTypeCount; ++i) names << DialogString(type.firstSubType + i);
  return names;
}

int RememberedSubType(const Profile& profile, int format) {
  const OutputTypeInfo& type = OutputTypeOf(format);
  if (type.keyIndex < 0) return 0;
  const int remembered = profile.getInt(settings::kBatchSubTypes, settings::kSubTypeKeys[type.keyIndex],
                                        type.defaultSubType);
  return std::clamp(remembered, 0, type.subTypeCount - 1);
}

void RememberSubType(Profile& profile, int format, int subType) {
  const OutputTypeInfo& type = OutputTypeOf(format);
  if (type.keyIndex < 0) return;
  profile.setInt(settings::kBatchSubTypes, settings::kSubTypeKeys[type.keyIndex], subType);
}

void FillSubTypeBox(QComboBox* box, const Profile& profile, int format, int select) {
  const QStringList names = SubTypeNames(format);
  box->clear();
  box->addItems(names);
  box->setCurrentIndex(select >= 0 && select < names.size() ? select : RememberedSubType(profile, format));
}

}  // namespace km::gui
