#pragma once

// The three "Format Settings" dialogs that "&Options..." opens by the output type's
// options kind: compression level and DPI (JPEG), DPI alone (PCX, TIFF, WPG) and the
// transparency (GIF, PNG). Each takes its values through setters and gives them back
// through getters; nothing is stored unless the caller keeps them after OK.
//
// Object names: "compressionEdit", "dpiEdit", "transparencyRadio0" .. "transparencyRadio3",
// "colorButton", "paletteEntryEdit", "okButton", "cancelButton".

#include <cstdint>

#include <QDialog>

#include "fileio/WriteImage.h"
#include "gui/batch/OutputTypes.h"

class QButtonGroup;
class QSpinBox;

namespace km {
class Profile;
}

namespace km::gui {

inline constexpr int kCompressionMin = 1;
inline constexpr int kCompressionMax = 99;
inline constexpr int kDpiMin = 1;
inline constexpr int kDpiMax = 2400;
inline constexpr int kPaletteEntryMax = 255;

// Kind J: "&Compression Level:" 1..99 and "&DPI:" 1..2400.
class CFormatSettingsDlg : public QDialog {
  Q_OBJECT
public:
  explicit CFormatSettingsDlg(QWidget* parent = nullptr);
  void setValues(int compression, int dpi);
  int compression() const;
  int dpi() const;

private:
  QSpinBox* compression_ = nullptr;
  QSpinBox* dpi_ = nullptr;
};

// Kind D: "&DPI:" 1..2400.
class CDpiSettingsDlg : public QDialog {
  Q_OBJECT
public:
  explicit CDpiSettingsDlg(QWidget* parent = nullptr);
  void setDpi(int dpi);
  int dpi() const;

private:
  QSpinBox* dpi_ = nullptr;
};

// Kind T: the transparency type 0..3 as four radio buttons, "&Color..." and the palette
// entry 0..255.
class CTransparencyDlg : public QDialog {
  Q_OBJECT
public:
  CTransparencyDlg(Profile& profile, QWidget* parent = nullptr);
  void setValues(int type, int index, std::uint32_t colour);
  int type() const;
  int index() const;
  std::uint32_t colour() const { return colour_; }

  // "&Color...": checks radio button 2 and opens the colour chooser captioned
  // "Select Transparent Color" on the current colour; OK keeps the new colour.
  void chooseColour();

private:
  Profile& profile_;
  QButtonGroup* types_ = nullptr;
  QSpinBox* index_ = nullptr;
  std::uint32_t colour_ = 0;
};

// Opens the dialog of `kind` on the options' values; OK copies the edited values into
// *options and answers true. Nothing happens for kNone (false).
bool EditFormatSettings(QWidget* parent, Profile& profile, OptionsKind kind, OutputOptions* options);

}  // namespace km::gui
