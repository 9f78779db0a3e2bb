#pragma once

// The preview chooser: a widget open-file dialog over the preview bitmap type first,
// then every readable input type, then all files, with a "&Default" button that
// chooses the built-in picture.

#include <QFileDialog>
#include <QString>
#include <QStringList>

namespace km {
class FileTypeTable;
}

namespace km::gui {

// The stored preview path that selects the built-in picture, string 2731 "Internal
// Preview" (compared without regard to case; an empty path selects it too).
QString InternalPreviewName();
bool IsInternalPreview(const QString& path);

// The chooser's name filters: "Preview Bitmap File (*.bmp)", one per readable type of
// `types` ("GIF - CompuServe (*.gif)", and the import filters' types), then "All Files (*.*)".
QStringList PreviewNameFilters(const FileTypeTable& types);

class CNewPreviewDlg : public QFileDialog {
  Q_OBJECT

public:
  CNewPreviewDlg(const QString& current, const FileTypeTable& types, QWidget* parent = nullptr);

  // After OK: the chosen file, or InternalPreviewName() when "&Default" was pressed.
  QString chosenPath() const;

  // "&Default": writes InternalPreviewName() into the file-name box and presses OK.
  void chooseDefault();

  void accept() override;

private:
  bool defaultChosen_ = false;
};

}  // namespace km::gui
