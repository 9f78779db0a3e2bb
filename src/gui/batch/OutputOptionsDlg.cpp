#include "gui/batch/OutputOptionsDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/CommandLineRun.h"
#include "gui/batch/FormatSettingsDlg.h"
#include "gui/batch/OutputTypes.h"
#include "gui/dialogs/Choosers.h"
#include "gui/dialogs/DialogText.h"
#include "gui/dialogs/HelpTopics.h"
#include "gui/dialogs/InfoDialogs.h"

namespace km::gui {
namespace {

enum Text : int {
  kCaption = 544,
  kSelectFolder = 2018,
  kOptionsButton = 23021,
  kTypeLabel = 23030,
  kSubTypeLabel = 23031,
  kBrowseButton = 23032,
};

constexpr int kFolderLength = 255;

}  // namespace

COutputOptionsDlg::COutputOptionsDlg(Profile& profile, QWidget* parent) : QDialog(parent), profile_(profile) {
  setObjectName(QStringLiteral("outputOptionsDialog"));
  setWindowTitle(DialogString(kCaption));
  auto* box = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  type_ = new QComboBox;
  type_->setObjectName(QStringLiteral("typeCombo"));
  type_->addItems(OutputTypeNames());
  subType_ = new QComboBox;
  subType_->setObjectName(QStringLiteral("subTypeCombo"));
  optionsButton_ = new QPushButton(DialogString(kOptionsButton));
  optionsButton_->setObjectName(QStringLiteral("optionsButton"));
  optionsButton_->setAutoDefault(false);
  folder_ = new QLineEdit;
  folder_->setObjectName(QStringLiteral("folderEdit"));
  folder_->setMaxLength(kFolderLength);
  folder_->setMinimumWidth(320);
  auto* browse = new QPushButton(DialogString(kBrowseButton));
  browse->setObjectName(QStringLiteral("browseButton"));
  browse->setAutoDefault(false);

  auto* typeLabel = new QLabel(DialogString(kTypeLabel));
  typeLabel->setBuddy(type_);
  auto* subTypeLabel = new QLabel(DialogString(kSubTypeLabel));
  subTypeLabel->setBuddy(subType_);
  grid->addWidget(typeLabel, 0, 0);
  grid->addWidget(type_, 0, 1);
  grid->addWidget(subTypeLabel, 1, 0);
  grid->addWidget(subType_, 1, 1);
  grid->addWidget(optionsButton_, 1, 2);
  grid->addWidget(folder_, 2, 0, 1, 2);
  grid->addWidget(browse, 2, 2);
  box->addLayout(grid);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
  QPushButton* help = buttons->button(QDialogButtonBox::Help);
  help->setText(DialogString(text::kHelp));
  help->setObjectName(QStringLiteral("helpButton"));
  box->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [] { OpenHelpTopic(help::kOutputOptions); });
  connect(type_, &QComboBox::currentIndexChanged, this, &COutputOptionsDlg::typeChanged);
  connect(optionsButton_, &QPushButton::clicked, this, &COutputOptionsDlg::editOptions);
  connect(browse, &QPushButton::clicked, this, &COutputOptionsDlg::browse);
}

void COutputOptionsDlg::setCommand(const CScriptCommand& command) {
  options_ = OutputOptionsFromCommand(command);
  const int format = options_.format >= 1 && options_.format <= kOutputFormatCount ? options_.format : 1;
  const QSignalBlocker block(type_);
  type_->setCurrentIndex(format - 1);
  options_.format = format;
  FillSubTypeBox(subType_, profile_, format, options_.subType);
  optionsButton_->setEnabled(OutputTypeOf(format).options != OptionsKind::kNone);
  folder_->setText(QString::fromStdString(command.Text1));
}

void COutputOptionsDlg::typeChanged(int row) {
  options_.format = row + 1;
  FillSubTypeBox(subType_, profile_, options_.format);
  optionsButton_->setEnabled(OutputTypeOf(options_.format).options != OptionsKind::kNone);
}

void COutputOptionsDlg::applyTo(CScriptCommand* command) const {
  command->Int1 = type_->currentIndex();
  command->Int2 = subType_->currentIndex();
  command->Int3 = options_.dpi;
  command->Int4 = options_.compression;
  command->Int5 = ((options_.transparencyType & 0xFF) << 8) | (options_.transparentIndex & 0xFF);
  command->Color1 = options_.transparentColor;
  command->Text1 = folder_->text().toStdString();
}

void COutputOptionsDlg::editOptions() {
  EditFormatSettings(this, profile_, OutputTypeOf(options_.format).options, &options_);
}

void COutputOptionsDlg::browse() {
  const QString chosen = ChooseFolder(this, DialogString(kSelectFolder), folder_->text());
  if (!chosen.isEmpty()) folder_->setText(chosen);
}

}  // namespace km::gui
