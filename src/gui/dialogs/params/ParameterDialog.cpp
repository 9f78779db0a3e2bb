#include "gui/dialogs/params/ParameterDialog.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include "gui/dialogs/Choosers.h"
#include "gui/dialogs/DialogText.h"
#include "gui/dialogs/Preferences.h"
#include "gui/dialogs/params/DirectionDial.h"
#include "gui/dialogs/params/PreviewFrame.h"

namespace km::gui {
namespace {

QString ControlName(int id) { return QStringLiteral("ctl%1").arg(id); }

// An edit for a real value in 1/scale units whose arrows stay within the shown range;
// OK checks what was typed.
class ScaledSpinBox final : public QDoubleSpinBox {
public:
  ScaledSpinBox(const FieldDef& fieldInfo, QWidget* parent) : QDoubleSpinBox(parent) {
    const double scale = fieldInfo.scale;
    lo_ = fieldInfo.shown.min / scale;
    hi_ = fieldInfo.shown.max / scale;
    setLocale(QLocale::c());
    setDecimals(static_cast<int>(std::lround(std::log10(scale))));
    setRange(-99999.0, 99999.0);
    setSingleStep(1.0 / scale);
    setButtonSymbols(fieldInfo.spin ? UpDownArrows : NoButtons);
  }
  void stepBy(int steps) override {
    setValue(std::clamp(value() + steps * singleStep(), lo_, hi_));
    selectAll();
  }

protected:
  StepEnabled stepEnabled() const override {
    StepEnabled enabled = StepNone;
    if (value() < hi_) enabled |= StepUpEnabled;
    if (value() > lo_) enabled |= StepDownEnabled;
    return enabled;
  }

private:
  double lo_ = 0.0;
  double hi_ = 0.0;
};

// The 519 total when the palette is built by octree: at least 8 colours.
constexpr int kOctreeMinimum = 8;
constexpr int kMaximumColours = 256;
constexpr int kWindowsColours = 20;

// Up to this many lines of controls stay in one column.
constexpr int kOneColumnLines = 8;

}  // namespace

ParameterDialog::ParameterDialog(const CommandInfo& info, int imageWidth, int imageHeight, Profile& profile,
                                 MessageService& messages, QWidget* parent)
    : PreviewDialog(messages, parent), info_(info), imageWidth_(imageWidth), imageHeight_(imageHeight),
      profile_(profile), opened_(info.code) {
  if (const TemplateLayout* layout = FindTemplateLayout(info.dialog.templateId)) {
    build(*layout);
  }
}

void ParameterDialog::build(const TemplateLayout& layout) {
  setObjectName(QStringLiteral("template%1").arg(layout.templateId));
  setWindowTitle(DialogString(info_.dialog.title != 0 ? info_.dialog.title : layout.title));

  // First every widget, so that a field shown beside another's button exists when that
  // button is placed.
  controls_.reserve(layout.fields.size());
  for (const FieldLayout& fl : layout.fields) {
    FieldControl c;
    c.layout = &fl;
    c.fieldInfo = FindField(info_.code, fl.field);
    if (c.fieldInfo == nullptr || fl.controls.empty()) continue;
    const int id = fl.controls[0].id;
    switch (c.fieldInfo->control) {
      case Control::kNumber:
        if (IsRealField(fl.field)) {
          c.real = new ScaledSpinBox(*c.fieldInfo, this);
          c.real->setObjectName(ControlName(id));
        } else {
          const Range shown = ShownRange(*c.fieldInfo, imageWidth_, imageHeight_);
          auto* box = new RangeSpinBox(shown.min, shown.max, this);
          box->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
          const bool arrows = c.fieldInfo->spin && !has(kRuleDirectionDial);
          box->setButtonSymbols(arrows ? QAbstractSpinBox::UpDownArrows : QAbstractSpinBox::NoButtons);
          box->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("-000000")) + (arrows ? 28 : 10));
          box->setObjectName(ControlName(id));
          c.number = box;
        }
        break;
      case Control::kChoice:
        c.choice = new QButtonGroup(this);
        for (std::size_t i = 0; i < fl.controls.size(); ++i) {
          auto* radio = new QRadioButton(DialogString(fl.controls[i].text), this);
          radio->setObjectName(ControlName(fl.controls[i].id));
          c.choice->addButton(radio, static_cast<int>(i));
        }
        break;
      case Control::kCheck:
        c.check = new QCheckBox(DialogString(fl.controls[0].text), this);
        c.check->setObjectName(ControlName(id));
        break;
      case Control::kColor:
        c.colour = new QPushButton(DialogString(fl.controls[0].text), this);
        c.colour->setObjectName(ControlName(id));
        c.colour->setAutoDefault(false);
        break;
      case Control::kPath:
      case Control::kOutput:
        continue;
    }
    controls_.push_back(c);
  }

  // A tall template is laid out in two columns, split where each gets about half of
  // the lines.
  std::vector<FieldControl*> placed;
  std::vector<int> lines;
  for (FieldControl& c : controls_) {
    if (c.layout->beside != 0) continue;
    placed.push_back(&c);
    lines.push_back(c.choice != nullptr ? static_cast<int>(c.layout->controls.size()) + 1 : 1);
  }
  const int total = std::accumulate(lines.begin(), lines.end(), 0);
  std::size_t split = placed.size();
  if (total > kOneColumnLines && !has(kRuleDirectionDial)) {
    int best = total;
    for (int i = 0, sum = 0; i + 1 < static_cast<int>(lines.size()); ++i) {
      sum += lines[static_cast<std::size_t>(i)];
      if (std::abs(2 * sum - total) < best) {
        best = std::abs(2 * sum - total);
        split = static_cast<std::size_t>(i) + 1;
      }
    }
  }
  auto* columns = new QHBoxLayout;
  auto* form = new QGridLayout;
  form->setColumnStretch(1, 1);  // labels keep their width, the controls sit next to them
  columns->addLayout(form);
  for (std::size_t i = 0; i < placed.size(); ++i) {
    FieldControl& c = *placed[i];
    if (i == split) {
      form->setRowStretch(form->rowCount(), 1);
      form = new QGridLayout;
      form->setColumnStretch(1, 1);
      columns->addLayout(form);
    }
    const int row = form->rowCount();
    if (c.number != nullptr || c.real != nullptr) {
      if (has(kRuleDirectionDial)) {
        if (c.fieldInfo->field == Field::kInt1) addDirection(form);
        continue;
      }
      addNumber(form, c);
    } else if (c.choice != nullptr) {
      addChoice(form, c);
    } else if (c.check != nullptr) {
      form->addWidget(c.check, row, 0, 1, 2);
    } else if (c.colour != nullptr) {
      form->addWidget(c.colour, row, 0, 1, 2, Qt::AlignLeft);
      connect(c.colour, &QPushButton::clicked, this, [this, field = c.fieldInfo->field] { chooseColour(*control(field)); });
    }
  }
  form->setRowStretch(form->rowCount(), 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
  connect(buttons, &QDialogButtonBox::accepted, this, &ParameterDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ParameterDialog::reject);

  auto* root = new QHBoxLayout(this);
  root->addLayout(columns);
  if (info_.dialog.preview) {
    root->addWidget(previewFrame(), 0, Qt::AlignTop);
  }
  root->addWidget(buttons, 0, Qt::AlignTop);
  root->setSizeConstraint(QLayout::SetFixedSize);
  connectRules();
}

void ParameterDialog::addNumber(QGridLayout* grid, FieldControl& c) {
  QWidget* box = c.number != nullptr ? static_cast<QWidget*>(c.number) : c.real;
  const int text = c.fieldInfo->label != 0 ? c.fieldInfo->label : c.layout->controls[0].text;
  auto* label = new QLabel(DialogString(text), this);
  label->setBuddy(box);
  const int row = grid->rowCount();
  grid->addWidget(label, row, 0);
  grid->addWidget(box, row, 1, Qt::AlignLeft);
}

void ParameterDialog::addChoice(QGridLayout* grid, FieldControl& c) {
  auto* group = new QGroupBox(c.layout->group != 0 ? DialogString(c.layout->group) : QString(), this);
  auto* column = new QVBoxLayout(group);
  for (std::size_t i = 0; i < c.layout->controls.size(); ++i) {
    QAbstractButton* radio = c.choice->button(static_cast<int>(i));
    radio->setParent(group);
    // A field shown beside this button (the free angle of 508).
    QWidget* beside = nullptr;
    for (const FieldControl& other : controls_) {
      if (other.layout->beside == c.layout->controls[i].id) beside = other.number;
    }
    if (beside == nullptr) {
      column->addWidget(radio);
      continue;
    }
    auto* line = new QHBoxLayout;
    line->addWidget(radio);
    beside->setParent(group);
    line->addWidget(beside);
    line->addStretch(1);
    column->addLayout(line);
  }
  grid->addWidget(group, grid->rowCount(), 0, 1, 2);
}

void ParameterDialog::addDirection(QGridLayout* grid) {
  FieldControl* angle = control(Field::kInt1);
  FieldControl* pixels = control(Field::kInt2);
  if (angle == nullptr || pixels == nullptr) return;
  addNumber(grid, *angle);

  dial_ = new DirectionDial(this);
  dial_->setObjectName(ControlName(ctl::kDial));
  const int side = fontMetrics().height() * 5;
  dial_->setFixedSize(side, side);
  grid->addWidget(dial_, grid->rowCount(), 1, Qt::AlignLeft);

  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setObjectName(ControlName(ctl::kSlider));
  const Range shown = pixels->fieldInfo->shown;
  slider_->setRange(shown.min, shown.max);
  slider_->setTickInterval(4);
  slider_->setTickPosition(QSlider::TicksBelow);
  auto* label = new QLabel(DialogString(ptext::kIntensity), this);
  label->setBuddy(slider_);
  auto* line = new QHBoxLayout;
  line->addWidget(slider_, 1);
  line->addWidget(pixels->number);
  line->addWidget(new QLabel(DialogString(pixels->layout->controls[0].text), this));
  const int row = grid->rowCount();
  grid->addWidget(label, row, 0);
  grid->addLayout(line, row, 1);
}

void ParameterDialog::connectRules() {
  for (FieldControl& c : controls_) {
    if (c.number != nullptr) connect(c.number, &QSpinBox::valueChanged, this, &ParameterDialog::changed);
    if (c.real != nullptr) connect(c.real, &QDoubleSpinBox::valueChanged, this, &ParameterDialog::changed);
    if (c.choice != nullptr) connect(c.choice, &QButtonGroup::idToggled, this, &ParameterDialog::changed);
    if (c.check != nullptr) connect(c.check, &QCheckBox::toggled, this, &ParameterDialog::changed);
  }

  if (has(kRuleSymmetricBorders)) {
    // A new top width goes to the other three while "Symmetric" is checked.
    QSpinBox* top = numberById(ctl::kTopBorder);
    connect(top, &QSpinBox::valueChanged, this, [this](int value) {
      if (filling_ || !control(Field::kInt5)->check->isChecked()) return;
      for (Field f : {Field::kInt4, Field::kInt1, Field::kInt2}) control(f)->number->setValue(std::max(value, 0));
    });
  }
  if (has(kRuleSymmetricBlock)) {
    QSpinBox* width = control(Field::kInt1)->number;
    QSpinBox* height = control(Field::kInt2)->number;
    QCheckBox* symmetric = control(Field::kInt3)->check;
    connect(width, &QSpinBox::valueChanged, this, [this, height, symmetric](int value) {
      if (!filling_ && symmetric->isChecked()) height->setValue(value);
    });
    connect(symmetric, &QCheckBox::toggled, this, [this, width, height](bool on) {
      if (!filling_ && on) height->setValue(width->value());
    });
  }
  if (has(kRuleFreeAngleFocus)) {
    connect(button(ctl::kFreeAngleChoice), &QAbstractButton::toggled, this, [this](bool on) {
      if (filling_ || !on) return;
      QSpinBox* angle = numberById(ctl::kFreeAngle);
      angle->setFocus();
      angle->selectAll();
    });
  }
  if (has(kRuleOptimizedTotal)) {
    connect(button(ctl::kOctreeMethod), &QAbstractButton::toggled, this, [this](bool on) {
      if (!filling_ && on && totalColours() < kOctreeMinimum) control(Field::kInt1)->number->setValue(kOctreeMinimum);
    });
  }
  if (has(kRuleDirectionDial) && dial_ != nullptr) {
    QSpinBox* angle = control(Field::kInt1)->number;
    QSpinBox* pixels = control(Field::kInt2)->number;
    const Range turn = control(Field::kInt1)->fieldInfo->valid;
    connect(dial_, &DirectionDial::angleChosen, angle, &QSpinBox::setValue);
    connect(angle, &QSpinBox::valueChanged, dial_, [this, turn](int value) { dial_->setAngle(turn.clamp(value)); });
    // The slider and the pixel count mirror each other; a typed count moves the slider
    // (which stays within its range) without the slider writing back over the typing.
    connect(slider_, &QSlider::valueChanged, pixels, [this, pixels](int position) {
      if (!mirroring_) pixels->setValue(position);
    });
    connect(pixels, &QSpinBox::valueChanged, slider_, [this](int value) {
      mirroring_ = true;
      slider_->setValue(value);
      mirroring_ = false;
    });
  }
}

void ParameterDialog::changed() {
  if (filling_) return;
  applyEnabling();
  valuesChanged();
}

void ParameterDialog::applyEnabling() {
  if (has(kRuleOptimizedTotal)) {
    button(ctl::kWindowsColors)->setEnabled(totalColours() >= kWindowsColours);
  }
  const bool optimised = button(ctl::kMedianCut) != nullptr &&
                         (button(ctl::kMedianCut)->isChecked() || button(ctl::kOctree)->isChecked());
  if (has(kRuleOptimizedMethods)) {
    if (QAbstractButton* ordered = button(ctl::kOrdered)) {
      if (optimised && ordered->isChecked()) button(ctl::kNearest)->setChecked(true);
      ordered->setEnabled(!optimised);
    }
    button(ctl::kBleed)->setEnabled(button(ctl::kDiffusion)->isChecked());
  }
  if (has(kRuleWindowsOnlyOptimized)) {
    button(ctl::kWindowsColors)->setEnabled(optimised);
  }
}

void ParameterDialog::chooseColour(FieldControl& c) {
  std::uint32_t colour = c.colourValue;
  const int caption = info_.dialog.colorTitle != 0 ? info_.dialog.colorTitle : -1;
  if (ChooseColour(this, profile_, &colour, caption)) {
    c.colourValue = colour;
    changed();
  }
}

void ParameterDialog::setValues(const CScriptCommand& opened) {
  filling_ = true;
  opened_ = opened;
  for (FieldControl& c : controls_) {
    const Field f = c.fieldInfo->field;
    if (c.real != nullptr) {
      c.real->setValue(opened.*RealMember(f));
      continue;
    }
    if (c.colour != nullptr) {
      c.colourValue = opened.*ColorMember(f);
      continue;
    }
    int value = opened.*IntMember(f);
    if (c.number != nullptr) {
      if (has(kRuleOptimizedTotal) && f == Field::kInt1 && opened.Int2 == 1) value += kWindowsColours;
      c.number->setValue(value);
    } else if (c.check != nullptr) {
      c.check->setChecked(value != 0);
    } else if (c.choice != nullptr) {
      if (!c.fieldInfo->valid.contains(value) && has(kRuleFirstChoiceIfNone)) value = 0;
      c.choice->setExclusive(false);
      for (QAbstractButton* b : c.choice->buttons()) b->setChecked(c.choice->id(b) == value);
      c.choice->setExclusive(true);
    }
  }
  if (dial_ != nullptr) {
    dial_->setAngle(control(Field::kInt1)->fieldInfo->valid.clamp(opened.Int1));
    mirroring_ = true;
    slider_->setValue(opened.Int2);
    mirroring_ = false;
  }
  filling_ = false;
  applyEnabling();
}

CScriptCommand ParameterDialog::values() const {
  CScriptCommand v = opened_;
  for (const FieldControl& c : controls_) {
    const Field f = c.fieldInfo->field;
    if (c.real != nullptr) {
      v.*RealMember(f) = static_cast<float>(c.real->value());
    } else if (c.colour != nullptr) {
      v.*ColorMember(f) = c.colourValue;
    } else if (c.number != nullptr) {
      v.*IntMember(f) = c.number->value();
    } else if (c.check != nullptr) {
      v.*IntMember(f) = c.check->isChecked() ? 1 : 0;
    } else if (c.choice != nullptr && c.choice->checkedId() >= 0) {
      v.*IntMember(f) = c.choice->checkedId();  // no choice keeps what was stored
    }
  }
  if (has(kRuleOptimizedTotal)) {
    // The edit shows the total; the Windows colours come on top of the stored count.
    const int total = totalColours();
    const bool windows = v.Int2 == 1 && total >= kWindowsColours;
    v.Int2 = windows ? 1 : 0;
    v.Int1 = windows ? total - kWindowsColours : total;
  }
  return v;
}

void ParameterDialog::accept() {
  if (!validateNumbers()) return;
  if (has(kRuleNonZero)) {
    const CScriptCommand v = values();
    const bool allZero = std::all_of(info_.dialog.nonZero.begin(), info_.dialog.nonZero.end(),
                                     [&v](Field f) { return v.*IntMember(f) == 0; });
    if (allZero) {
      messages().message(LoadString(info_.dialog.nonZeroMessage), MessageIcon::Exclamation);
      return;
    }
  }
  QDialog::accept();
}

bool ParameterDialog::validateNumbers() {
  for (FieldControl& c : controls_) {
    if (c.real != nullptr) {
      bool ok = false;
      const double value = QLocale::c().toDouble(c.real->cleanText().trimmed(), &ok);
      const double scale = c.fieldInfo->scale;
      if (!ok) {
        messages().message(LoadString(ptext::kEnterNumber), MessageIcon::Exclamation);
      } else if (c.fieldInfo->validated && !AcceptedOnOk(*c.fieldInfo, std::llround(value * scale), imageWidth_, imageHeight_)) {
        const Range valid = ValidRange(*c.fieldInfo, imageWidth_, imageHeight_);
        messages().message(FormatString(ptext::kNumberRange, QString::number(valid.min / scale).toStdString(),
                                        QString::number(valid.max / scale).toStdString()),
                           MessageIcon::Exclamation);
      } else {
        continue;
      }
      c.real->setFocus();
      c.real->selectAll();
      return false;
    }
    if (c.number == nullptr) continue;
    bool ok = false;
    const qlonglong value = c.number->cleanText().trimmed().toLongLong(&ok);
    if (!ok) {
      messages().message(LoadString(ptext::kEnterInteger), MessageIcon::Exclamation);
      c.number->setFocus();
      c.number->selectAll();
      return false;
    }
    if (has(kRuleOptimizedTotal) && c.fieldInfo->field == Field::kInt1) {
      const bool octree = button(ctl::kOctreeMethod)->isChecked();
      if (value < (octree ? kOctreeMinimum : 1) || value > kMaximumColours) {
        return rangeMessage(c, octree ? kOctreeMinimum : 1, kMaximumColours);
      }
      continue;
    }
    if (!AcceptedOnOk(*c.fieldInfo, value, imageWidth_, imageHeight_)) {
      const Range valid = ValidRange(*c.fieldInfo, imageWidth_, imageHeight_);
      return rangeMessage(c, valid.min, valid.max);
    }
  }
  return true;
}

bool ParameterDialog::rangeMessage(FieldControl& c, std::int64_t min, std::int64_t max) {
  messages().message(FormatString(text::kIntegerRange, min, max), MessageIcon::Exclamation);
  c.number->setFocus();
  c.number->selectAll();
  return false;
}

ParameterDialog::FieldControl* ParameterDialog::control(Field field) {
  for (FieldControl& c : controls_) {
    if (c.fieldInfo->field == field) return &c;
  }
  return nullptr;
}

const ParameterDialog::FieldControl* ParameterDialog::control(Field field) const {
  return const_cast<ParameterDialog*>(this)->control(field);
}

QAbstractButton* ParameterDialog::button(int id) const {
  return findChild<QAbstractButton*>(ControlName(id));
}

QSpinBox* ParameterDialog::numberById(int id) const { return findChild<QSpinBox*>(ControlName(id)); }

int ParameterDialog::totalColours() const { return control(Field::kInt1)->number->value(); }

}  // namespace km::gui
