#pragma once

// "Batch Process Input Files": a widget open dialog for several files over the
// readable file types, with an added "Options" panel ("Interrupt &processing to
// display error messages", "&Use the output settings specified in the script") and the
// buttons "Select &All" and "&Help". OK reads "Next".
//
// Object names: "batchInputDialog", "interruptCheck", "useScriptCheck",
// "selectAllButton", "helpButton", "okButton", "cancelButton"; the file dialog's own
// "fileNameEdit", "fileTypeCombo".

#include <QFileDialog>
#include <QString>
#include <QStringList>

class QCheckBox;

namespace km {
class FileTypeTable;
}

namespace km::gui {

// The type list's name filters: "All Files (*)", then one per table entry
// ("GIF - CompuServe (*.gif)"), so filter position + 1 is the file-type filter index.
QStringList InputNameFilters(const FileTypeTable& types);

// The pattern "Select &All" lists: the file-name box's text when there is one, else
// "*.*" for "All Files" (filter index 1), else "*." + the type's key without trailing
// blanks.
QString SelectAllPattern(const FileTypeTable& types, int filterIndex, const QString& fileNameText);

class CBatchInputDlg : public QFileDialog {
  Q_OBJECT

public:
  CBatchInputDlg(const FileTypeTable& types, QWidget* parent = nullptr);

  // The type list position as a filter index (1 = "All Files"); 0 counts as 1.
  void setFilterIndex(int index);
  int filterIndex() const;

  void setInterrupt(bool on);
  bool interrupt() const;

  // The script-settings box: selected unless `doNotUse`, usable only when the script
  // has a "Set Output Options" command.
  void setScriptSettings(bool scriptHasOutputOptions, bool doNotUse);
  // Selected and usable.
  bool useScriptSettings() const;
  // The box's state as the do-not-use flag the editor keeps between runs.
  bool doNotUseScriptSettings() const;

  // "Select &All": takes the pattern, puts "All Files" into the file-name box and
  // presses OK.
  void selectAll();
  bool selectAllChosen() const { return selectAll_; }
  QString pattern() const { return pattern_; }

  // After OK: the folder of the chosen files (the one shown after "Select &All"),
  // without a trailing separator, and the chosen file names (none after "Select &All").
  QString folder() const;
  QStringList names() const;

  void accept() override;

private:
  const FileTypeTable& types_;
  QCheckBox* interrupt_ = nullptr;
  QCheckBox* useScript_ = nullptr;
  bool selectAll_ = false;
  QString pattern_;
};

}  // namespace km::gui
