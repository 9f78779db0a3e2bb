#pragma once

// "Batch Process Output Options": a widget save dialog that chooses a folder and an
// output type, with an added panel: a caption line naming the chosen type, "S&ub type:",
// "&Options..." (the type's "Format Settings"), "Output folder:" with the current folder
// and "&Help". The file-name box is hidden; OK reads "Finish".
//
// Object names: "batchOutputDialog", "captionLine", "subTypeCombo", "optionsButton",
// "outputFolder", "helpButton", "okButton", "cancelButton"; the file dialog's own
// "fileTypeCombo".

#include <QFileDialog>
#include <QString>

#include "fileio/WriteImage.h"

class QComboBox;
class QFontMetrics;
class QLabel;
class QPushButton;

namespace km {
class Profile;
}

namespace km::gui {

// The folder as the "Output folder:" line shows it in `width` pixels: while too wide
// and longer than 3 characters, its last character is dropped and "..." added, each
// step measured again.
QString TruncatedFolderText(const QString& folder, const QFontMetrics& metrics, int width);

class CBatchOutputDlg : public QFileDialog {
  Q_OBJECT

public:
  CBatchOutputDlg(Profile& profile, QWidget* parent = nullptr);

  // Before exec: the folder, the initial type (1..27) with its sub-type list, and the
  // format settings "&Options..." edits (format and sub-type of `options` unused).
  void setStart(const QString& folder, int format, const OutputOptions& options);

  // After OK.
  int format() const { return format_; }
  int subType() const;
  // The chosen folder, without a trailing separator ("/" for the root).
  QString folder() const;
  const OutputOptions& options() const { return options_; }

  void editOptions();
  // The text of the "Output folder:" line.
  QString shownFolder() const;

protected:
  // The folder line is shortened again whenever its width changes.
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void typeChanged(int format);
  void showFolder(const QString& folder);

  Profile& profile_;
  OutputOptions options_;
  int format_ = 1;
  QLabel* caption_ = nullptr;
  QComboBox* subType_ = nullptr;
  QPushButton* optionsButton_ = nullptr;
  QLabel* folderLine_ = nullptr;
  QString currentFolder_;
};

}  // namespace km::gui
