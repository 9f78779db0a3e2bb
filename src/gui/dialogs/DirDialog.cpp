#include "gui/dialogs/DirDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "gui/dialogs/Choosers.h"
#include "gui/dialogs/DialogText.h"
#include "gui/dialogs/HelpTopics.h"
#include "gui/dialogs/InfoDialogs.h"

namespace km::gui {

QString FolderWithoutSeparator(const QString& path) {
  QString folder = path;
  while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
    folder.chop(1);
  }
  return folder;
}

QString ShortenedFolder(const QString& folder, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(folder) <= width) {
    return folder;
  }
  const QString ellipsis = QStringLiteral("...");
  const qsizetype keep = folder.startsWith(QLatin1Char('/')) ? 1 : 0;
  QString rest = folder.mid(keep);
  QString shortened;
  do {
    rest.remove(0, 1);
    shortened = folder.left(keep) + ellipsis + rest;
  } while (!rest.isEmpty() && metrics.horizontalAdvance(shortened) > width);
  return shortened;
}

CDirDialog::CDirDialog(const QString& initialFolder, int helpTopic, const QString& title, QWidget* parent)
    : QFileDialog(parent, title) {
  setObjectName(QStringLiteral("folderChooser"));
  setOption(QFileDialog::DontUseNativeDialog);
  setOption(QFileDialog::ShowDirsOnly);
  setFileMode(QFileDialog::Directory);
  setAcceptMode(QFileDialog::AcceptOpen);
  setLabelText(QFileDialog::Accept, DialogString(text::kSelect));
  setDirectory(initialFolder);

  if (auto* buttons = findChild<QDialogButtonBox*>()) {
    if (QPushButton* ok = buttons->button(QDialogButtonBox::Open)) ok->setObjectName(QStringLiteral("okButton"));
    if (QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel)) {
      cancel->setObjectName(QStringLiteral("cancelButton"));
    }
    if (helpTopic >= 0) {
      QPushButton* help = buttons->addButton(DialogString(text::kHelp), QDialogButtonBox::HelpRole);
      help->setObjectName(QStringLiteral("helpButton"));
      connect(help, &QPushButton::clicked, this, [helpTopic] { OpenHelpTopic(helpTopic); });
    }
  }
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    auto* caption = new QLabel(DialogString(text::kSelectedFolder), this);
    caption->setObjectName(QStringLiteral("selectedFolderLabel"));
    selected_ = new QLabel(this);
    selected_->setObjectName(QStringLiteral("selectedFolder"));
    selected_->setMinimumWidth(1);
    const int row = grid->rowCount();
    grid->addWidget(caption, row, 0);
    grid->addWidget(selected_, row, 1, 1, grid->columnCount() - 1);
  }
  connect(this, &QFileDialog::directoryEntered, this, &CDirDialog::showFolder);
  showFolder(directory().absolutePath());
}

QString CDirDialog::folder() const {
  const QStringList files = selectedFiles();
  return files.isEmpty() ? QString() : FolderWithoutSeparator(files.first());
}

void CDirDialog::showFolder(const QString& folder) {
  shown_ = FolderWithoutSeparator(folder);
  if (selected_ != nullptr) {
    selected_->setText(ShortenedFolder(shown_, selected_->fontMetrics(), selected_->width()));
    selected_->setToolTip(shown_);
  }
}

void CDirDialog::resizeEvent(QResizeEvent* event) {
  QFileDialog::resizeEvent(event);
  showFolder(shown_);
}

QString ChooseFolder(QWidget* parent, const QString& title, const QString& start) {
  CDirDialog dialog(start, help::kFolderChooser, title, parent);
  if (dialog.exec() != QDialog::Accepted) {
    return {};
  }
  return dialog.folder();
}

}  // namespace km::gui
