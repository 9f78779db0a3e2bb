#include "gui/batch/BatchOutputDlg.h"

#include <utility>

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "gui/batch/FormatSettingsDlg.h"
#include "gui/batch/OutputTypes.h"
#include "gui/dialogs/DialogText.h"
#include "gui/dialogs/DirDialog.h"
#include "gui/dialogs/FileDialogColumns.h"
#include "gui/dialogs/HelpTopics.h"
#include "gui/dialogs/InfoDialogs.h"

namespace km::gui {
namespace {

enum Text : int {
  kTitle = 2077,
  kFinish = 2080,
  kSaveIn = 2081,
  kSaveAsType = 2082,
  kSubTypeLabel = 23020,
  kOptionsButton = 23021,
  kOutputFolderLabel = 23022,
};

// The name the hidden file-name box holds, so that OK has a file to accept; only its
// folder is used.
const QString kPlaceholderName = QStringLiteral("null.nul");

}  // namespace

QString TruncatedFolderText(const QString& folder, const QFontMetrics& metrics, int width) {
  QString kept = folder;
  QString shown = folder;
  while (metrics.horizontalAdvance(shown) > width && kept.size() > 3) {
    kept.chop(1);
    shown = kept + QStringLiteral("...");
  }
  return shown;
}

CBatchOutputDlg::CBatchOutputDlg(Profile& profile, QWidget* parent)
    : QFileDialog(parent, DialogString(kTitle)), profile_(profile) {
  setObjectName(QStringLiteral("batchOutputDialog"));
  setOption(QFileDialog::DontUseNativeDialog);
  setOption(QFileDialog::DontConfirmOverwrite);
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  setNameFilters(OutputNameFilters());
  setLabelText(QFileDialog::Accept, DialogString(kFinish));
  setLabelText(QFileDialog::LookIn, DialogString(kSaveIn));
  setLabelText(QFileDialog::FileType, DialogString(kSaveAsType));
  resize(860, 560);
  FitFileColumns(this);
  // The renamed labels' "&" keys reach the folder and type lists.
  for (const auto& [labelName, buddyName] : {std::pair{"lookInLabel", "lookInCombo"}, std::pair{"fileTypeLabel", "fileTypeCombo"}}) {
    auto* label = findChild<QLabel*>(QString::fromLatin1(labelName));
    auto* buddy = findChild<QWidget*>(QString::fromLatin1(buddyName));
    if (label != nullptr && buddy != nullptr) label->setBuddy(buddy);
  }
  for (const char* name : {"fileNameEdit", "fileNameLabel"}) {
    if (auto* w = findChild<QWidget*>(QString::fromLatin1(name))) w->hide();
  }

  if (auto* buttons = findChild<QDialogButtonBox*>()) {
    if (QPushButton* ok = buttons->button(QDialogButtonBox::Save)) ok->setObjectName(QStringLiteral("okButton"));
    if (QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel)) {
      cancel->setObjectName(QStringLiteral("cancelButton"));
    }
    QPushButton* help = buttons->addButton(DialogString(text::kHelp), QDialogButtonBox::HelpRole);
    help->setObjectName(QStringLiteral("helpButton"));
    help->setAutoDefault(false);
    connect(help, &QPushButton::clicked, this, [] { OpenHelpTopic(help::kBatchOutput); });
  }

  auto* panel = new QGroupBox(this);
  panel->setObjectName(QStringLiteral("outputPanel"));
  auto* grid = new QGridLayout(panel);
  caption_ = new QLabel(panel);
  caption_->setObjectName(QStringLiteral("captionLine"));
  subType_ = new QComboBox(panel);
  subType_->setObjectName(QStringLiteral("subTypeCombo"));
  subType_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  auto* subTypeLabel = new QLabel(DialogString(kSubTypeLabel), panel);
  subTypeLabel->setBuddy(subType_);
  optionsButton_ = new QPushButton(DialogString(kOptionsButton), panel);
  optionsButton_->setObjectName(QStringLiteral("optionsButton"));
  optionsButton_->setAutoDefault(false);
  auto* folderLabel = new QLabel(DialogString(kOutputFolderLabel), panel);
  folderLine_ = new QLabel(panel);
  folderLine_->setObjectName(QStringLiteral("outputFolder"));
  folderLine_->setMinimumWidth(1);
  folderLine_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  folderLine_->installEventFilter(this);
  grid->addWidget(caption_, 0, 0, 1, 4);
  grid->addWidget(subTypeLabel, 1, 0);
  grid->addWidget(subType_, 1, 1);
  grid->addWidget(optionsButton_, 1, 2);
  grid->setColumnStretch(3, 1);
  grid->addWidget(folderLabel, 2, 0);
  grid->addWidget(folderLine_, 2, 1, 1, 3);
  if (auto* dialogGrid = qobject_cast<QGridLayout*>(layout())) {
    dialogGrid->addWidget(panel, dialogGrid->rowCount(), 0, 1, dialogGrid->columnCount());
  }

  // Every change of the type list, the user's or the program's, rebuilds the sub-types.
  if (auto* types = findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
    connect(types, &QComboBox::currentIndexChanged, this, [this](int row) { typeChanged(row + 1); });
  }
  connect(this, &QFileDialog::directoryEntered, this, &CBatchOutputDlg::showFolder);
  connect(optionsButton_, &QPushButton::clicked, this, &CBatchOutputDlg::editOptions);
}

void CBatchOutputDlg::setStart(const QString& folder, int format, const OutputOptions& options) {
  options_ = options;
  format_ = format >= 1 && format <= kOutputFormatCount ? format : 1;
  // A folder that does not exist yet (the run would make it) starts the dialog in its
  // nearest existing parent.
  QString start = QDir(folder).absolutePath();
  while (!QFileInfo(start).isDir() && start != QDir::rootPath()) start = QFileInfo(start).path();
  setDirectory(start);
  selectFile(kPlaceholderName);
  const QStringList filters = nameFilters();
  selectNameFilter(filters.value(format_ - 1));
  typeChanged(format_);
  showFolder(directory().absolutePath());
  if (auto* types = findChild<QWidget*>(QStringLiteral("fileTypeCombo"))) types->setFocus();
}

void CBatchOutputDlg::typeChanged(int format) {
  format_ = format >= 1 && format <= kOutputFormatCount ? format : 1;
  FillSubTypeBox(subType_, profile_, format_);
  optionsButton_->setEnabled(OutputTypeOf(format_).options != OptionsKind::kNone);
  caption_->setText(OutputTypeNames().value(format_ - 1));
}

int CBatchOutputDlg::subType() const { return subType_->currentIndex(); }

QString CBatchOutputDlg::folder() const {
  const QStringList files = selectedFiles();
  const QString path = files.isEmpty() ? directory().absolutePath() : QFileInfo(files.first()).absolutePath();
  return FolderWithoutSeparator(path);
}

void CBatchOutputDlg::editOptions() {
  EditFormatSettings(this, profile_, OutputTypeOf(format_).options, &options_);
}

void CBatchOutputDlg::showFolder(const QString& folder) {
  currentFolder_ = FolderWithoutSeparator(folder);
  const int width = folderLine_->contentsRect().width();
  folderLine_->setText(TruncatedFolderText(currentFolder_, folderLine_->fontMetrics(), width));
  folderLine_->setToolTip(currentFolder_);
}

QString CBatchOutputDlg::shownFolder() const { return folderLine_->text(); }

bool CBatchOutputDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == folderLine_ && event->type() == QEvent::Resize && !currentFolder_.isEmpty()) {
    showFolder(currentFolder_);
  }
  return QFileDialog::eventFilter(watched, event);
}

}  // namespace km::gui
