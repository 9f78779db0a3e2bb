#pragma once

// The folder chooser: a widget directory dialog whose OK button reads "&Select", with a
// "Selected folder:" line that follows the current folder, shortened with "..." when
// it is too wide.

#include <QFileDialog>
#include <QString>

class QLabel;

namespace km::gui {

// `path` without its trailing separators, except that the root stays "/".
QString FolderWithoutSeparator(const QString& path);

// `folder` shortened to fit `width` pixels of `metrics`: characters after the root "/"
// are replaced by "..." until it fits (the whole path when it fits already).
QString ShortenedFolder(const QString& folder, const QFontMetrics& metrics, int width);

class CDirDialog : public QFileDialog {
  Q_OBJECT

public:
  CDirDialog(const QString& initialFolder, int helpTopic, const QString& title, QWidget* parent = nullptr);

  // The chosen folder after OK (see FolderWithoutSeparator).
  QString folder() const;

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  void showFolder(const QString& folder);

  QLabel* selected_ = nullptr;
  QString shown_;
};

}  // namespace km::gui
