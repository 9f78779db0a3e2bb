// The editor's script editing: Add, Delete, Move up and down, Edit and the command
// clipboard. Every action does nothing while a batch run or a script test is going on.

#include <memory>

#include <QListWidget>
#include <QPushButton>

#include "gui/dialogs/EditParameters.h"
#include "gui/editor/CommandClipboard.h"
#include "gui/editor/EditorWindow.h"
#include "script/AddCommand.h"

namespace km::gui {

bool EditorWindow::editParameters(int index) {
  return EditParameters(this, script_, index, working_.get(), profile_, messages_);
}

void EditorWindow::addCommand() {
  if (busy_ || testing_) return;
  QListWidgetItem* item = commandList_->currentItem();
  if (item == nullptr || !item->isSelected()) return;
  const int code = item->data(Qt::UserRole).toInt();
  const int selection = selectedLine();
  const AddCommandResult result = AddCommand(
      &script_, code, selection, [this](CScript&, int index) { return editParameters(index); }, messages_);
  if (!result.added) {
    // A refused second 544 selects the existing one; a cancelled dialog keeps the list.
    if (code == kSetOutputOptions) selectLine(result.select);
    return;
  }
  fillScriptList();
  selectLine(result.select);
  setChanged(true);
}

void EditorWindow::deleteCommand() {
  if (busy_ || testing_) return;
  const int line = selectedLine();
  if (line < 0) return;
  script_.RemoveAt(line);
  delete scriptList_->takeItem(line);
  selectLine(line < scriptList_->count() ? line : scriptList_->count() - 1);
  setChanged(true);
}

void EditorWindow::moveUp() {
  if (busy_ || testing_) return;
  const int line = selectedLine();
  if (line <= 0) return;
  script_.Swap(line, line - 1);
  fillScriptList();
  selectLine(line - 1);
  setChanged(true);
}

void EditorWindow::moveDown() {
  if (busy_ || testing_) return;
  const int line = selectedLine();
  if (line < 0 || line + 1 >= script_.GetCount()) return;
  script_.Swap(line, line + 1);
  fillScriptList();
  selectLine(line + 1);
  setChanged(true);
}

void EditorWindow::editCommand() {
  if (busy_ || testing_ || !editButton_->isEnabled()) return;
  const int line = selectedLine();
  if (line < 0) return;
  if (editParameters(line)) {
    updateParameters();
    setChanged(true);
  }
}

void EditorWindow::copyCommand() {
  if (busy_ || testing_) return;
  const CScriptCommand* command = script_.GetAt(selectedLine());
  if (command == nullptr) return;
  CopyCommand(*command, messages_);
}

void EditorWindow::cutCommand() {
  if (busy_ || testing_) return;
  const int line = selectedLine();
  const CScriptCommand* command = script_.GetAt(line);
  if (command == nullptr || !CopyCommand(*command, messages_)) return;
  script_.RemoveAt(line);
  delete scriptList_->takeItem(line);
  selectLine(line < scriptList_->count() ? line : scriptList_->count() - 1);
  setChanged(true);
}

void EditorWindow::pasteCommand() {
  if (busy_ || testing_) return;
  auto command = std::make_unique<CScriptCommand>();
  if (!PasteCommand(command.get(), messages_)) return;
  // No one-"Set Output Options" rule here: a pasted 544 goes in like any other.
  const CScriptCommand* inserted = script_.InsertAfter(std::move(command), selectedLine());
  fillScriptList();
  selectLine(script_.IndexOf(inserted));
  setChanged(true);
}

}  // namespace km::gui
