#pragma once

// The preview chooser: a widget open-file dialog over the preview bitmap type first,
// then every readable input type, then all files, with a "&Default" button that
// chooses the built-in picture.

#include <QFileDialog>
#include <QString>
#include <QStringList>

namespace km::gui {

// The stored preview path that selects the built-in picture (compared without regard
// to case; an empty path selects it too).
inline constexpr char kInternalPreview[] = "Internal Preview";
bool IsInternalPreview(const QString& path);

// The chooser's name filters: "Preview Bitmap File (*.bmp)", one per readable type of
// the file type table ("GIF - CompuServe (*.gif)"), then "All Files (*.*)".
QStringList PreviewNameFilters();

class CNewPreviewDlg : public QFileDialog {
  Q_OBJECT

public:
  CNewPreviewDlg(const QString& current, QWidget* parent = nullptr);

  // After OK: the chosen file, or kInternalPreview when "&Default" was pressed.
  QString chosenPath() const;

  // "&Default": writes kInternalPreview into the file-name box and presses OK.
  void chooseDefault();

  void accept() override;

private:
  bool defaultChosen_ = false;
};

}  // namespace km::gui
