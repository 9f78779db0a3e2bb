#include "gui/batch/FormatSettingsDlg.h"

#include <algorithm>

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "gui/dialogs/Choosers.h"
#include "gui/dialogs/DialogText.h"

namespace km::gui {
namespace {

enum Text : int {
  kCaption = 23040,
  kCompressionLabel = 23041,
  kDpiLabel = 23042,
  kFirstTransparencyRadio = 23043,
  kColorButton = 22036,
  kTransparentColorCaption = 2516,
};

QSpinBox* Spin(const char* name, int low, int high) {
  auto* box = new QSpinBox;
  box->setObjectName(QString::fromLatin1(name));
  box->setRange(low, high);
  return box;
}

void AddButtons(QDialog* dialog, QLayout* layout) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  layout->addWidget(buttons);
}

void SetUp(QDialog* dialog, const char* name) {
  dialog->setObjectName(QString::fromLatin1(name));
  dialog->setWindowTitle(DialogString(kCaption));
}

}  // namespace

CFormatSettingsDlg::CFormatSettingsDlg(QWidget* parent) : QDialog(parent) {
  SetUp(this, "formatSettingsDialog");
  auto* box = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  compression_ = Spin("compressionEdit", kCompressionMin, kCompressionMax);
  dpi_ = Spin("dpiEdit", kDpiMin, kDpiMax);
  form->addRow(DialogString(kCompressionLabel), compression_);
  form->addRow(DialogString(kDpiLabel), dpi_);
  box->addLayout(form);
  AddButtons(this, box);
}

void CFormatSettingsDlg::setValues(int compression, int dpi) {
  compression_->setValue(compression);
  dpi_->setValue(dpi);
}
int CFormatSettingsDlg::compression() const { return compression_->value(); }
int CFormatSettingsDlg::dpi() const { return dpi_->value(); }

CDpiSettingsDlg::CDpiSettingsDlg(QWidget* parent) : QDialog(parent) {
  SetUp(this, "dpiSettingsDialog");
  auto* box = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  dpi_ = Spin("dpiEdit", kDpiMin, kDpiMax);
  form->addRow(DialogString(kDpiLabel), dpi_);
  box->addLayout(form);
  AddButtons(this, box);
}

void CDpiSettingsDlg::setDpi(int dpi) { dpi_->setValue(dpi); }
int CDpiSettingsDlg::dpi() const { return dpi_->value(); }

CTransparencyDlg::CTransparencyDlg(Profile& profile, QWidget* parent) : QDialog(parent), profile_(profile) {
  SetUp(this, "transparencyDialog");
  auto* box = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  types_ = new QButtonGroup(this);
  for (int i = 0; i < 4; ++i) {
    auto* radio = new QRadioButton(DialogString(kFirstTransparencyRadio + i));
    radio->setObjectName(QStringLiteral("transparencyRadio%1").arg(i));
    types_->addButton(radio, i);
    grid->addWidget(radio, i, 0);
  }
  auto* colour = new QPushButton(DialogString(kColorButton));
  colour->setObjectName(QStringLiteral("colorButton"));
  colour->setAutoDefault(false);
  grid->addWidget(colour, 2, 1);
  index_ = Spin("paletteEntryEdit", 0, kPaletteEntryMax);
  grid->addWidget(index_, 3, 1);
  box->addLayout(grid);
  AddButtons(this, box);
  connect(colour, &QPushButton::clicked, this, &CTransparencyDlg::chooseColour);
}

void CTransparencyDlg::setValues(int type, int index, std::uint32_t colour) {
  if (QAbstractButton* radio = types_->button(std::clamp(type, 0, 3))) radio->setChecked(true);
  index_->setValue(index);
  colour_ = colour;
}

int CTransparencyDlg::type() const { return std::max(types_->checkedId(), 0); }
int CTransparencyDlg::index() const { return index_->value(); }

void CTransparencyDlg::chooseColour() {
  types_->button(2)->setChecked(true);
  std::uint32_t chosen = colour_;
  if (ChooseColour(this, profile_, &chosen, kTransparentColorCaption)) colour_ = chosen;
}

bool EditFormatSettings(QWidget* parent, Profile& profile, OptionsKind kind, OutputOptions* options) {
  switch (kind) {
    case OptionsKind::kCompressionDpi: {
      CFormatSettingsDlg dialog(parent);
      dialog.setValues(options->compression, options->dpi);
      if (dialog.exec() != QDialog::Accepted) return false;
      options->compression = dialog.compression();
      options->dpi = dialog.dpi();
      return true;
    }
    case OptionsKind::kDpi: {
      CDpiSettingsDlg dialog(parent);
      dialog.setDpi(options->dpi);
      if (dialog.exec() != QDialog::Accepted) return false;
      options->dpi = dialog.dpi();
      return true;
    }
    case OptionsKind::kTransparency: {
      CTransparencyDlg dialog(profile, parent);
      dialog.setValues(options->transparencyType, options->transparentIndex, options->transparentColor);
      if (dialog.exec() != QDialog::Accepted) return false;
      options->transparencyType = dialog.type();
      options->transparentIndex = dialog.index();
      options->transparentColor = dialog.colour();
      return true;
    }
    case OptionsKind::kNone: break;
  }
  return false;
}

}  // namespace km::gui
