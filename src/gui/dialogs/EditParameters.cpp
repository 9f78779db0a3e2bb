#include "gui/dialogs/EditParameters.h"

#include <QApplication>
#include <QDir>

#include "common/MessageService.h"
#include "common/Settings.h"
#include "gui/batch/OutputOptionsDlg.h"
#include "gui/dialogs/Choosers.h"
#include "gui/dialogs/DialogText.h"
#include "gui/dialogs/params/PaletteFileDialog.h"
#include "gui/dialogs/params/ParameterDialog.h"
#include "imaging/Dib.h"
#include "script/CommandCatalogue.h"
#include "script/Script.h"

namespace km::gui {
namespace {

// A stored "C:\..." start path of the old platform becomes one in the home folder.
QString LocalStartPath(const char* path) {
  QString p = QString::fromLatin1(path);
  if (p.startsWith(QLatin1String("C:\\"), Qt::CaseInsensitive)) p = QDir::homePath() + QLatin1Char('/') + p.mid(3);
  p.replace(QLatin1Char('\\'), QLatin1Char('/'));
  return p;
}

// The values a dialog opens with: each covered field's stored value, its default for
// the unset marker, then the field's opening rule.
CScriptCommand OpeningValues(const CommandInfo& info, const CScriptCommand& stored, int width, int height) {
  CScriptCommand opened = stored;
  for (const FieldDef& f : info.fields) {
    if (auto member = IntMember(f.field)) {
      opened.*member = OpeningValue(f, stored.*member, width, height);
    } else if (auto real = RealMember(f.field)) {
      opened.*real = OpeningReal(f, stored.*real);
    }
  }
  return opened;
}

// Copies back exactly the fields the dialog covers.
void StoreFields(const CommandInfo& info, const CScriptCommand& values, CScriptCommand* command) {
  for (const FieldDef& f : info.fields) {
    if (auto member = IntMember(f.field)) {
      command->*member = values.*member;
    } else if (auto real = RealMember(f.field)) {
      command->*real = values.*real;
    } else if (auto colour = ColorMember(f.field)) {
      command->*colour = values.*colour;
    } else if (auto text = TextMember(f.field)) {
      command->*text = values.*text;
    }
  }
}

bool RunForm(QWidget* parent, const CommandInfo& info, const CScriptCommand& opened, const Dib* preview,
             Profile& profile, MessageService& messages, CScriptCommand* values) {
  ParameterDialog dialog(info, preview->width(), preview->height(), profile, messages, parent);
  dialog.setValues(opened);
  if (info.dialog.preview) dialog.setPreviewSource(preview);
  if (dialog.exec() != QDialog::Accepted) return false;
  *values = dialog.values();
  return true;
}

bool RunPaletteFile(QWidget* parent, const CommandInfo& info, const CScriptCommand& opened,
                    CScriptCommand* values) {
  const DialogDef& d = info.dialog;
  CPaletteFileDialog dialog(DialogString(d.title), DialogString(d.filter), QString::fromLatin1(d.defaultExtension),
                            parent);
  dialog.setStartPath(opened.Text1.empty() ? LocalStartPath(d.emptyPath) : QString::fromStdString(opened.Text1));
  dialog.setMethod(opened.Int1);
  if (dialog.exec() != QDialog::Accepted || dialog.chosenPath().isEmpty()) return false;
  *values = opened;
  values->Text1 = dialog.chosenPath().toStdString();
  if (dialog.method() >= 0) values->Int1 = dialog.method();
  return true;
}

}  // namespace

bool EditParameters(QWidget* parent, CScript& script, int index, const Dib* preview, Profile& profile,
                    MessageService& messages) {
  CScriptCommand* command = script.GetAt(index);
  if (command == nullptr || ValidateDib(preview) != kOk) {
    return false;
  }
  const CommandInfo* info = FindCommand(command->Code);
  if (info == nullptr || !info->hasDialog()) {
    return true;
  }
  const CScriptCommand opened = OpeningValues(*info, *command, preview->width(), preview->height());
  CScriptCommand values = opened;
  bool confirmed = false;
  switch (info->dialog.kind) {
    case DialogKind::kNone:
      return true;
    case DialogKind::kForm:
      confirmed = RunForm(parent, *info, opened, preview, profile, messages, &values);
      break;
    case DialogKind::kFileChooser:
      confirmed = RunPaletteFile(parent, *info, opened, &values);
      break;
    case DialogKind::kColorChooser:
      confirmed = ChooseColour(parent, profile, &values.Color1, info->dialog.title);
      break;
    case DialogKind::kOutputOptions: {
      COutputOptionsDlg dialog(profile, parent);
      CScriptCommand shown = opened;
      if (shown.Text1.empty()) shown.Text1 = settings::DefaultFolder();
      dialog.setCommand(shown);
      confirmed = dialog.exec() == QDialog::Accepted;
      if (confirmed) dialog.applyTo(&values);
      break;
    }
  }
  if (confirmed) {
    StoreFields(*info, values, command);
  }
  return confirmed;
}

}  // namespace km::gui
