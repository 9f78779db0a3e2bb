#include "gui/batch/BatchInputDlg.h"

#include <string>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "fileio/FileTypeTable.h"
#include "gui/dialogs/DirDialog.h"
#include "gui/dialogs/DialogText.h"
#include "gui/dialogs/FileDialogColumns.h"
#include "gui/dialogs/HelpTopics.h"
#include "gui/dialogs/InfoDialogs.h"

namespace km::gui {
namespace {

enum Text : int {
  kTitle = 2076,
  kNext = 2079,
  kSelectAll = 23010,
  kInterrupt = 23011,
  kUseScript = 23012,
  kOptionsGroup = 23013,
};

// "Description (*.ext *.ext2)" from a description and a "*.EXT;*.EXT2" pattern. The
// widget dialog matches names without regard to case; "*.*" lists every file.
QString NameFilter(const QString& description, QString pattern) {
  pattern = pattern.toLower();
  pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
  if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
  return description + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

QString AllFilesName(const FileTypeTable& types) {
  return QString::fromStdString(types.filterText()).section(QChar(u'\0'), 0, 0);
}

}  // namespace

QStringList InputNameFilters(const FileTypeTable& types) {
  const QStringList parts = QString::fromStdString(types.filterText()).split(QChar(u'\0'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) break;
    filters << NameFilter(parts[i], parts[i + 1]);
  }
  return filters;
}

QString SelectAllPattern(const FileTypeTable& types, int filterIndex, const QString& fileNameText) {
  if (!fileNameText.isEmpty()) return fileNameText;
  if (filterIndex <= 1 || filterIndex - 1 > types.entryCount()) return QStringLiteral("*.*");
  std::string key = types.entry(filterIndex - 1).key;
  while (!key.empty() && key.back() == ' ') key.pop_back();
  return QStringLiteral("*.") + QString::fromStdString(key);
}

CBatchInputDlg::CBatchInputDlg(const FileTypeTable& types, QWidget* parent)
    : QFileDialog(parent, DialogString(kTitle)), types_(types) {
  setObjectName(QStringLiteral("batchInputDialog"));
  setOption(QFileDialog::DontUseNativeDialog);
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode(QFileDialog::ExistingFiles);
  setNameFilters(InputNameFilters(types));
  setLabelText(QFileDialog::Accept, DialogString(kNext));
  resize(860, 560);
  FitFileColumns(this);

  if (auto* buttons = findChild<QDialogButtonBox*>()) {
    if (QPushButton* ok = buttons->button(QDialogButtonBox::Open)) ok->setObjectName(QStringLiteral("okButton"));
    if (QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel)) {
      cancel->setObjectName(QStringLiteral("cancelButton"));
    }
    QPushButton* all = buttons->addButton(DialogString(kSelectAll), QDialogButtonBox::ActionRole);
    all->setObjectName(QStringLiteral("selectAllButton"));
    all->setAutoDefault(false);
    connect(all, &QPushButton::clicked, this, &CBatchInputDlg::selectAll);
    QPushButton* help = buttons->addButton(DialogString(text::kHelp), QDialogButtonBox::HelpRole);
    help->setObjectName(QStringLiteral("helpButton"));
    help->setAutoDefault(false);
    connect(help, &QPushButton::clicked, this, [] { OpenHelpTopic(help::kBatchInput); });
  }

  auto* group = new QGroupBox(DialogString(kOptionsGroup), this);
  group->setObjectName(QStringLiteral("optionsGroup"));
  auto* box = new QVBoxLayout(group);
  interrupt_ = new QCheckBox(DialogString(kInterrupt), group);
  interrupt_->setObjectName(QStringLiteral("interruptCheck"));
  useScript_ = new QCheckBox(DialogString(kUseScript), group);
  useScript_->setObjectName(QStringLiteral("useScriptCheck"));
  box->addWidget(interrupt_);
  box->addWidget(useScript_);
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    grid->addWidget(group, grid->rowCount(), 0, 1, grid->columnCount());
  }
}

void CBatchInputDlg::setFilterIndex(int index) {
  const QStringList filters = nameFilters();
  const int row = index <= 1 || index > filters.size() ? 0 : index - 1;
  selectNameFilter(filters.value(row));
}

int CBatchInputDlg::filterIndex() const {
  const qsizetype row = nameFilters().indexOf(selectedNameFilter());
  return row < 0 ? 1 : static_cast<int>(row) + 1;
}

void CBatchInputDlg::setInterrupt(bool on) { interrupt_->setChecked(on); }
bool CBatchInputDlg::interrupt() const { return interrupt_->isChecked(); }

void CBatchInputDlg::setScriptSettings(bool scriptHasOutputOptions, bool doNotUse) {
  useScript_->setChecked(!doNotUse);
  useScript_->setEnabled(scriptHasOutputOptions);
}

bool CBatchInputDlg::useScriptSettings() const { return useScript_->isEnabled() && useScript_->isChecked(); }
bool CBatchInputDlg::doNotUseScriptSettings() const { return !useScript_->isChecked(); }

void CBatchInputDlg::selectAll() {
  selectAll_ = true;
  auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  pattern_ = SelectAllPattern(types_, filterIndex(), name != nullptr ? name->text().trimmed() : QString());
  if (name != nullptr) name->setText(AllFilesName(types_));
  accept();
}

QString CBatchInputDlg::folder() const {
  if (!selectAll_) {
    const QStringList files = selectedFiles();
    if (!files.isEmpty()) return FolderWithoutSeparator(QFileInfo(files.first()).absolutePath());
  }
  return FolderWithoutSeparator(directory().absolutePath());
}

QStringList CBatchInputDlg::names() const {
  QStringList out;
  if (selectAll_) return out;
  for (const QString& file : selectedFiles()) out << QFileInfo(file).fileName();
  return out;
}

void CBatchInputDlg::accept() {
  // "All Files" names no file: after "Select &All" the dialog ends without looking.
  if (selectAll_) {
    QDialog::accept();
    return;
  }
  QFileDialog::accept();
}

}  // namespace km::gui
