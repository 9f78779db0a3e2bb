#include "gui/dialogs/Preferences.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "batch/JobCount.h"
#include "common/Profile.h"
#include "common/Settings.h"
#include "gui/dialogs/DialogText.h"
#include "gui/dialogs/InfoDialogs.h"

namespace km::gui {
namespace {

// The picture size each Photo CD read size loads.
constexpr const char* kPcdPixels[CMyPropertyPage1::kSizeCount] = {"128 x 192", "256 x 384", "512 x 768",
                                                                  "1024 x 1536", "2048 x 3072"};

}  // namespace

RangeSpinBox::RangeSpinBox(int spinMinimum, int spinMaximum, QWidget* parent)
    : QSpinBox(parent), spinMinimum_(spinMinimum), spinMaximum_(spinMaximum) {
  // The box holds whatever number is typed (up to five digits); the range is checked
  // when the sheet is confirmed, not while typing.
  setRange(0, 99999);
  setButtonSymbols(QAbstractSpinBox::UpDownArrows);
}

void RangeSpinBox::stepBy(int steps) {
  setValue(std::clamp(value() + steps, spinMinimum_, spinMaximum_));
  selectAll();
}

QAbstractSpinBox::StepEnabled RangeSpinBox::stepEnabled() const {
  StepEnabled enabled = StepNone;
  if (value() < spinMaximum_) enabled |= StepUpEnabled;
  if (value() > spinMinimum_) enabled |= StepDownEnabled;
  return enabled;
}

CMyPropertyPage1::CMyPropertyPage1(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("photoCdPage"));
  auto* group = new QGroupBox(DialogString(text::kPhotoCdGroup), this);
  group->setObjectName(QStringLiteral("photoCdGroup"));
  auto* grid = new QGridLayout(group);
  for (int i = 0; i < kSizeCount; ++i) {
    auto* button = new QRadioButton(DialogString(text::kFirstPcdSize + i), group);
    button->setObjectName(QStringLiteral("pcdSize%1").arg(i));
    sizes_[static_cast<std::size_t>(i)] = button;
    grid->addWidget(button, i, 0);
    grid->addWidget(new QLabel(QString::fromLatin1(kPcdPixels[i]), group), i, 1);
  }
  grid->setColumnStretch(2, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addStretch(1);
}

void CMyPropertyPage1::setLoadSize(int size) {
  for (int i = 0; i < kSizeCount; ++i) {
    QRadioButton* button = sizes_[static_cast<std::size_t>(i)];
    // Auto-exclusive buttons cannot all be cleared one by one.
    button->setAutoExclusive(false);
    button->setChecked(i == size);
    button->setAutoExclusive(true);
  }
}

int CMyPropertyPage1::loadSize() const {
  for (int i = 0; i < kSizeCount; ++i) {
    if (sizes_[static_cast<std::size_t>(i)]->isChecked()) return i;
  }
  return -1;
}

CMyPropertyPage2::CMyPropertyPage2(QWidget* parent)
    : QWidget(parent),
      width_(new RangeSpinBox(kMinimum, kSpinMaximum)),
      height_(new RangeSpinBox(kMinimum, kSpinMaximum)) {
  setObjectName(QStringLiteral("wmfPage"));
  auto* group = new QGroupBox(DialogString(text::kWmfGroup), this);
  group->setObjectName(QStringLiteral("wmfGroup"));
  width_->setObjectName(QStringLiteral("wmfWidth"));
  height_->setObjectName(QStringLiteral("wmfHeight"));
  auto* grid = new QGridLayout(group);
  auto* widthLabel = new QLabel(DialogString(text::kWidth), group);
  widthLabel->setBuddy(width_);
  auto* heightLabel = new QLabel(DialogString(text::kHeight), group);
  heightLabel->setBuddy(height_);
  grid->addWidget(widthLabel, 0, 0);
  grid->addWidget(width_, 0, 1);
  grid->addWidget(heightLabel, 1, 0);
  grid->addWidget(height_, 1, 1);
  grid->setColumnStretch(2, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addStretch(1);
}

void CMyPropertyPage2::setWidthValue(int width) { width_->setValue(width); }
void CMyPropertyPage2::setHeightValue(int height) { height_->setValue(height); }
int CMyPropertyPage2::widthValue() const { return width_->value(); }
int CMyPropertyPage2::heightValue() const { return height_->value(); }

bool CMyPropertyPage2::validate() {
  for (RangeSpinBox* box : {width_, height_}) {
    bool ok = false;
    const int value = box->cleanText().toInt(&ok);
    if (ok && value >= kMinimum && value <= kMaximum) {
      continue;
    }
    auto* message = new QMessageBox(QMessageBox::Warning, DialogString(text::kApplicationTitle),
                                    QString::fromStdString(FormatString(text::kIntegerRange, kMinimum, kMaximum)),
                                    QMessageBox::Ok, this);
    message->setObjectName(QStringLiteral("rangeMessage"));
    message->setAttribute(Qt::WA_DeleteOnClose);
    message->open();
    box->setFocus();
    box->selectAll();
    return false;
  }
  return true;
}

CPreferences::CPreferences(QWidget* parent)
    : QDialog(parent),
      tabs_(new QTabWidget(this)),
      page1_(new CMyPropertyPage1),
      page2_(new CMyPropertyPage2),
      jobs_(new QSpinBox(this)) {
  setObjectName(QStringLiteral("inputPreferences"));
  setWindowTitle(DialogString(text::kPreferencesCaption));
  tabs_->setObjectName(QStringLiteral("pages"));
  tabs_->addTab(page1_, DialogString(text::kPhotoCdPage));
  tabs_->addTab(page2_, DialogString(text::kWmfPage));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
  connect(buttons, &QDialogButtonBox::accepted, this, &CPreferences::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CPreferences::reject);
  auto* batch = new QGroupBox(DialogString(text::kBatchRunsGroup), this);
  batch->setObjectName(QStringLiteral("batchRunsGroup"));
  jobs_->setObjectName(QStringLiteral("jobs"));
  jobs_->setRange(0, kMaxJobs);
  jobs_->setSpecialValueText(DialogString(text::kJobsPerProcessor));
  auto* jobsLabel = new QLabel(DialogString(text::kJobs), batch);
  jobsLabel->setBuddy(jobs_);
  auto* batchRow = new QHBoxLayout(batch);
  batchRow->addWidget(jobsLabel);
  batchRow->addWidget(jobs_);
  batchRow->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(batch);
  layout->addWidget(buttons);
}

void CPreferences::load(const Profile& profile) {
  // A stored size no button stands for shows the default rather than no choice.
  int size = profile.getInt(settings::kFormat, settings::kPCDLoadSize, settings::kPCDLoadSizeDefault);
  if (size < 0 || size >= CMyPropertyPage1::kSizeCount) {
    size = settings::kPCDLoadSizeDefault;
  }
  page1_->setLoadSize(size);
  page2_->setWidthValue(profile.getInt(settings::kFormat, settings::kWMFWidth, settings::kWMFWidthDefault));
  page2_->setHeightValue(profile.getInt(settings::kFormat, settings::kWMFHeight, settings::kWMFHeightDefault));
  // A stored count out of range shows the nearest one the box holds.
  jobs_->setValue(profile.getInt(settings::kGeneral, settings::kJobs, settings::kJobsDefault));
}

void CPreferences::store(Profile& profile) const {
  profile.setInt(settings::kFormat, settings::kPCDLoadSize, page1_->loadSize());
  profile.setInt(settings::kFormat, settings::kWMFWidth, page2_->widthValue());
  profile.setInt(settings::kFormat, settings::kWMFHeight, page2_->heightValue());
  profile.setInt(settings::kFormat, settings::kWMFPrompt, 0);
  profile.setInt(settings::kGeneral, settings::kJobs, jobs_->value());
}

void CPreferences::accept() {
  if (!page2_->validate()) {
    tabs_->setCurrentWidget(page2_);
    return;
  }
  QDialog::accept();
}

bool EditInputPreferences(QWidget* parent, Profile& profile) {
  CPreferences sheet(parent);
  sheet.load(profile);
  if (sheet.exec() != QDialog::Accepted) {
    return false;
  }
  sheet.store(profile);
  return true;
}

}  // namespace km::gui
