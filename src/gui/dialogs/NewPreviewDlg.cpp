#include "gui/dialogs/NewPreviewDlg.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "fileio/FileTypeTable.h"
#include "gui/dialogs/Choosers.h"
#include "gui/dialogs/DialogText.h"
#include "gui/dialogs/FileDialogColumns.h"
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

QString InternalPreviewName() { return DialogString(text::kInternalPreview); }

bool IsInternalPreview(const QString& path) {
  return path.isEmpty() || path.compare(InternalPreviewName(), Qt::CaseInsensitive) == 0;
}

QStringList PreviewNameFilters(const FileTypeTable& types) {
  // "Preview Bitmap File (*.bmp)|*.bmp|All Files (*.*)|*.*||"
  const QStringList preview = DialogString(text::kPreviewFilter).split(QLatin1Char('|'));
  QStringList filters;
  if (preview.size() >= 4) {
    filters << preview[0];
  }
  for (int n = 1; n <= types.entryCount(); ++n) {
    const QStringList parts = QString::fromStdString(types.entry(n).text).split(QLatin1Char('|'));
    if (parts.size() >= 2) {
      filters << NameFilter(parts[0], parts[1]);
    }
  }
  if (preview.size() >= 4) {
    filters << preview[2];
  }
  return filters;
}

CNewPreviewDlg::CNewPreviewDlg(const QString& current, const FileTypeTable& types, QWidget* parent)
    : QFileDialog(parent, DialogString(text::kOpenPreviewImage)) {
  setObjectName(QStringLiteral("previewChooser"));
  setOption(QFileDialog::DontUseNativeDialog);
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode(QFileDialog::ExistingFile);
  setNameFilters(PreviewNameFilters(types));
  setDefaultSuffix(QStringLiteral("bmp"));
  resize(820, 500);
  FitFileColumns(this);
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
    // In the help role the button sits beside "&Help", after OK and Cancel.
    QPushButton* byDefault = buttons->addButton(DialogString(text::kDefault), QDialogButtonBox::HelpRole);
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
    return InternalPreviewName();
  }
  const QStringList files = selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

void CNewPreviewDlg::chooseDefault() {
  if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
    name->setText(InternalPreviewName());
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

bool ChoosePreviewFile(QWidget* parent, const QString& current, const FileTypeTable& types, QString* path) {
  CNewPreviewDlg dialog(current, types, parent);
  if (dialog.exec() != QDialog::Accepted) {
    return false;
  }
  *path = dialog.chosenPath();
  return true;
}

}  // namespace km::gui
