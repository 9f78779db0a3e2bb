#include "gui/dialogs/params/PaletteFileDialog.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/dialogs/DialogText.h"
#include "gui/dialogs/params/TemplateLayouts.h"

namespace km::gui {

QStringList NameFilters(const QString& tableFilter) {
  QStringList filters;
  const QStringList parts = tableFilter.split(QLatin1Char('|'));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) break;
    QString pattern = parts[i + 1];
    pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
    if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    filters.append(QStringLiteral("%1 (%2)").arg(parts[i], pattern));
  }
  return filters;
}

CPaletteFileDialog::CPaletteFileDialog(const QString& title, const QString& filter, const QString& extension,
                                       QWidget* parent)
    : QFileDialog(parent, title), methods_(new QButtonGroup(this)) {
  setObjectName(QStringLiteral("paletteFileDialog"));
  // The platform's own dialog cannot take the method buttons.
  setOption(QFileDialog::DontUseNativeDialog, true);
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode(QFileDialog::ExistingFile);
  setNameFilters(NameFilters(filter));
  setDefaultSuffix(extension);

  const TemplateLayout* layout = FindTemplateLayout(186);
  const FieldLayout& field = layout->fields[0];
  auto* group = new QGroupBox(DialogString(field.group), this);
  auto* column = new QVBoxLayout(group);
  for (std::size_t i = 0; i < field.controls.size(); ++i) {
    auto* radio = new QRadioButton(DialogString(field.controls[i].text), group);
    radio->setObjectName(QStringLiteral("ctl%1").arg(field.controls[i].id));
    methods_->addButton(radio, static_cast<int>(i));
    column->addWidget(radio);
  }
  // The widget dialog lays itself out on a grid; the buttons go below everything.
  if (auto* grid = qobject_cast<QGridLayout*>(this->layout())) {
    grid->addWidget(group, grid->rowCount(), 0, 1, grid->columnCount());
  }
}

void CPaletteFileDialog::setStartPath(const QString& path) {
  const QFileInfo info(path);
  if (info.fileName().contains(QLatin1Char('*'))) {
    setDirectory(info.absolutePath());
    return;
  }
  setDirectory(info.absolutePath());
  selectFile(info.fileName());
}

void CPaletteFileDialog::setMethod(int method) {
  methods_->setExclusive(false);
  for (QAbstractButton* b : methods_->buttons()) b->setChecked(methods_->id(b) == method);
  methods_->setExclusive(true);
}

int CPaletteFileDialog::method() const { return methods_->checkedId(); }

QString CPaletteFileDialog::chosenPath() const {
  const QStringList files = selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

}  // namespace km::gui
