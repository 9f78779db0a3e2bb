#pragma once

namespace km::gui {

// The editor program from start to end: start-up steps, command line, main window.
// Answers the process's exit status.
int RunEditorProgram(int argc, char** argv);

}  // namespace km::gui
