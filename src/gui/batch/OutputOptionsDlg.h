#pragma once

// "Set Output Options": the parameter dialog of command 544. The type list, the
// sub-type list of the chosen type, "&Options..." for the type's format settings, and
// the output folder with "B&rowse...".
//
// Object names: "typeCombo", "subTypeCombo", "optionsButton", "folderEdit",
// "browseButton", "okButton", "cancelButton".

#include <QDialog>

#include "fileio/WriteImage.h"
#include "script/Script.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace km {
class Profile;
}

namespace km::gui {

class COutputOptionsDlg : public QDialog {
  Q_OBJECT

public:
  COutputOptionsDlg(Profile& profile, QWidget* parent = nullptr);

  // The command's values: type Int1 (0-based), sub-type Int2, DPI Int3, compression
  // Int4, transparency type and palette entry the high and low byte of Int5, colour
  // Color1, folder Text1. A stored sub-type outside the type's list shows the
  // remembered one.
  void setCommand(const CScriptCommand& command);
  // Writes the dialog's values into those fields.
  void applyTo(CScriptCommand* command) const;

  // "&Options...": the type's format settings dialog; its changes are kept on OK.
  void editOptions();
  // "B&rowse...": the folder chooser titled "Select Folder", from the edit box's folder.
  void browse();

private:
  void typeChanged(int row);

  Profile& profile_;
  OutputOptions options_;  // format 1..27 while the dialog is open
  QComboBox* type_ = nullptr;
  QComboBox* subType_ = nullptr;
  QPushButton* optionsButton_ = nullptr;
  QLineEdit* folder_ = nullptr;
};

}  // namespace km::gui
