#include "gui/GuiMain.h"

#include <QApplication>

namespace km::gui {

int RunEditorProgram(int argc, char** argv) {
  QApplication app(argc, argv);
  return 0;
}

}  // namespace km::gui
