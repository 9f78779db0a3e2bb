#include "gui/GuiMain.h"

#if defined(__SANITIZE_ADDRESS__)
// The desktop bus library keeps its connection buffer until the process ends; the
// sanitizer build would otherwise report it and change the program's exit status.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif

int main(int argc, char** argv) { return km::gui::RunEditorProgram(argc, argv); }
