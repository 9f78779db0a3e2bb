#pragma once

// "File Input Preferences": a two-page sheet (Photo CD read size; metafile size when a
// file has no size header) without an Apply button. The pages take their values
// through setters and check their ranges when OK is pressed.

#include <array>

#include <QDialog>
#include <QSpinBox>
#include <QWidget>

class QDialogButtonBox;
class QRadioButton;
class QTabWidget;

namespace km {
class Profile;
}

namespace km::gui {

// An edit box with a spin control whose arrows stay within a narrower range than the
// values the box accepts; the page checks the accepted range on OK.
class RangeSpinBox : public QSpinBox {
  Q_OBJECT

public:
  RangeSpinBox(int spinMinimum, int spinMaximum, QWidget* parent = nullptr);
  void stepBy(int steps) override;

protected:
  StepEnabled stepEnabled() const override;

private:
  int spinMinimum_;
  int spinMaximum_;
};

// Page "Photo CD": the read size, 0 "Base / 16" ... 4 "Base * 16".
class CMyPropertyPage1 : public QWidget {
  Q_OBJECT

public:
  static constexpr int kSizeCount = 5;

  explicit CMyPropertyPage1(QWidget* parent = nullptr);
  void setLoadSize(int size);  // out-of-range values check no button
  int loadSize() const;        // -1 when no button is checked

private:
  std::array<QRadioButton*, kSizeCount> sizes_{};
};

// Page "WMF ": width and height, each 2 to 65535 (spin range 2 to 32767).
class CMyPropertyPage2 : public QWidget {
  Q_OBJECT

public:
  static constexpr int kMinimum = 2;
  static constexpr int kMaximum = 65535;
  static constexpr int kSpinMaximum = 32767;

  explicit CMyPropertyPage2(QWidget* parent = nullptr);
  void setWidthValue(int width);
  void setHeightValue(int height);
  int widthValue() const;
  int heightValue() const;

  // Checks both boxes; on a value out of range shows the range message, puts the focus
  // on the box and answers false.
  bool validate();

private:
  RangeSpinBox* width_;
  RangeSpinBox* height_;
};

// Below the pages: the files a batch run started from the editor converts at once,
// 0 ("One per processor") to 256, stored as "General"/"Jobs".
class CPreferences : public QDialog {
  Q_OBJECT

public:
  explicit CPreferences(QWidget* parent = nullptr);

  CMyPropertyPage1* photoCdPage() const { return page1_; }
  CMyPropertyPage2* wmfPage() const { return page2_; }
  QSpinBox* jobsBox() const { return jobs_; }

  // Values from and to the profile's "Format" section ("WMF_Prompt" = 0 on store),
  // and the batch runs' "General"/"Jobs".
  void load(const Profile& profile);
  void store(Profile& profile) const;

  void accept() override;

private:
  QTabWidget* tabs_;
  CMyPropertyPage1* page1_;
  CMyPropertyPage2* page2_;
  QSpinBox* jobs_;
};

}  // namespace km::gui
