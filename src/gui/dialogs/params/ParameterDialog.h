#pragma once

// The parameter dialog of one command, built from its catalogue row (fields, ranges,
// defaults, rules) and its template's layout (control ids and texts). The dialog takes
// the opening values through setValues() and answers the values to store through
// values(); OK checks the ranges (the standard range message, the dialog stays open)
// and the dialog's rules first. Dialogs of commands with a preview show it through
// PreviewDialog.

#include <cstdint>
#include <vector>

#include "gui/dialogs/params/PreviewDialog.h"
#include "gui/dialogs/params/TemplateLayouts.h"
#include "script/CommandCatalogue.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QDoubleSpinBox;
class QGridLayout;
class QPushButton;
class QSlider;
class QSpinBox;

namespace km {
class Profile;
}

namespace km::gui {

class DirectionDial;

class ParameterDialog : public PreviewDialog {
  Q_OBJECT

public:
  // `info` must have a form dialog with a template layout. imageWidth / imageHeight are
  // those of the picture the dialog is opened on (the lower bound of the canvas sizes).
  ParameterDialog(const CommandInfo& info, int imageWidth, int imageHeight, Profile& profile,
                  MessageService& messages, QWidget* parent = nullptr);

  // The opening values: defaults and opening clamps already applied (EditParameters).
  // Fields the dialog does not cover are kept as given and come back from values().
  void setValues(const CScriptCommand& opened);
  // What OK would store.
  CScriptCommand values() const;

  const CommandInfo& info() const { return info_; }

  void accept() override;

protected:
  CScriptCommand previewValues() const override { return values(); }

private:
  // The widgets of one field.
  struct FieldControl {
    const FieldDef* fieldInfo = nullptr;
    const FieldLayout* layout = nullptr;
    QSpinBox* number = nullptr;
    QDoubleSpinBox* real = nullptr;
    QButtonGroup* choice = nullptr;
    QCheckBox* check = nullptr;
    QPushButton* colour = nullptr;
    std::uint32_t colourValue = 0;
  };

  void build(const TemplateLayout& layout);
  void addNumber(QGridLayout* grid, FieldControl& c);
  void addChoice(QGridLayout* grid, FieldControl& c);
  void addDirection(QGridLayout* grid);
  void connectRules();
  void changed();
  void applyEnabling();
  void chooseColour(FieldControl& c);

  bool validateNumbers();
  bool rangeMessage(FieldControl& c, std::int64_t min, std::int64_t max);
  bool has(DialogRule rule) const { return (info_.dialog.rules & rule) != 0; }

  FieldControl* control(Field field);
  const FieldControl* control(Field field) const;
  QAbstractButton* button(int id) const;
  QSpinBox* numberById(int id) const;
  int totalColours() const;

  const CommandInfo& info_;
  int imageWidth_;
  int imageHeight_;
  Profile& profile_;
  CScriptCommand opened_;
  std::vector<FieldControl> controls_;
  DirectionDial* dial_ = nullptr;
  QSlider* slider_ = nullptr;
  bool filling_ = false;    // setValues() is filling the controls
  bool mirroring_ = false;  // the pixel count is moving the slider
};

}  // namespace km::gui
