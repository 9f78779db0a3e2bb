#include "gui/dialogs/NewPreviewDlg.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "fileio/FileTypeTable.h"
#include "gui/dialogs/Choosers.h"
#include "gui/dialogs/DialogText.h"
#include "gui/dialogs/HelpTopics.h"
#include "gui/dialogs/InfoDialogs.h"

namespace km::gui {
namespace {

// "Description (*.ext)" from a "desc|pattern|" pair. Patterns are lower-cased: the
// widget dialog matches names without regard to case.
QString NameFilter(const QString& description, const QString& pattern) {
  return description + QStringLiteral(" (") + pattern.toLower() + QLatin1Char(')');
}

}  // namespace

bool IsInternalPreview(const QString& path) {
  return path.isEmpty() || path.compare(QLatin1String(kInternalPreview), Qt::CaseInsensitive) == 0;
}

QStringList PreviewNameFilters() {
  // "Preview Bitmap File (*.bmp)|*.bmp|All Files (*.*)|*.*||"
  const QStringList preview = DialogString(text::kPreviewFilter).split(QLatin1Char('|'));
  QStringList filters;
  if (preview.size() >= 4) {
    filters << preview[0];
  }
  const FileTypeTable table;
  for (int n = 1; n <= table.entryCount(); ++n) {
    const QStringList parts = QString::fromStdString(table.entry(n).text).split(QLatin1Char('|'));
    if (parts.size() >= 2) {
      filters << NameFilter(parts[0], parts[1]);
    }
  }
  if (preview.size() >= 4) {
    filters << preview[2];
  }
  return filters;
}

CNewPreviewDlg::CNewPreviewDlg(const QString& current, QWidget* parent)
    : QFileDialog(parent, DialogString(text::kOpenPreviewImage)) {
  setObjectName(QStringLiteral("previewChooser"));
  setOption(QFileDialog::DontUseNativeDialog);
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode(QFileDialog::ExistingFile);
  setNameFilters(PreviewNameFilters());
  setDefaultSuffix(QStringLiteral("bmp"));
  if (!IsInternalPreview(current)) {
    const QFileInfo info(current);
    setDirectory(info.absolutePath());
    selectFile(info.fileName());
  }
  if (auto* buttons = findChild<QDialogButtonBox*>()) {
    if (QPushButton* ok = buttons->button(QDialogButtonBox::Open)) ok->setObjectName(QStringLiteral("okButton"));
    if (QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel)) {
      cancel->setObjectName(QStringLiteral("cancelButton"));
    }
    QPushButton* byDefault = buttons->addButton(DialogString(text::kDefault), QDialogButtonBox::ActionRole);
    byDefault->setObjectName(QStringLiteral("defaultButton"));
    byDefault->setAutoDefault(false);
    connect(byDefault, &QPushButton::clicked, this, &CNewPreviewDlg::chooseDefault);
    // The built-in picture's name names no file, so the dialog would disable OK for it.
    QPushButton* ok = buttons->button(QDialogButtonBox::Open);
    auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (ok != nullptr && name != nullptr) {
      connect(name, &QLineEdit::textChanged, this, [ok](const QString& text) {
        if (!text.isEmpty() && IsInternalPreview(text)) ok->setEnabled(true);
      });
    }
    QPushButton* help = buttons->addButton(DialogString(text::kHelp), QDialogButtonBox::HelpRole);
    help->setObjectName(QStringLiteral("helpButton"));
    help->setAutoDefault(false);
    connect(help, &QPushButton::clicked, this, [] { OpenHelpTopic(help::kPreviewChooser); });
  }
}

QString CNewPreviewDlg::chosenPath() const {
  if (defaultChosen_) {
    return QLatin1String(kInternalPreview);
  }
  const QStringList files = selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

void CNewPreviewDlg::chooseDefault() {
  if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
    name->setText(QLatin1String(kInternalPreview));
  }
  defaultChosen_ = true;
  QDialog::accept();
}

void CNewPreviewDlg::accept() {
  // The file-name box may hold the built-in picture's name, which names no file.
  if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
    if (!name->text().isEmpty() && IsInternalPreview(name->text())) {
      defaultChosen_ = true;
      QDialog::accept();
      return;
    }
  }
  defaultChosen_ = false;
  QFileDialog::accept();
}

bool ChoosePreviewFile(QWidget* parent, const QString& current, QString* path) {
  CNewPreviewDlg dialog(current, parent);
  if (dialog.exec() != QDialog::Accepted) {
    return false;
  }
  *path = dialog.chosenPath();
  return true;
}

}  // namespace km::gui
