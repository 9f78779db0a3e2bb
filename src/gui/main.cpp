#include "gui/GuiMain.h"

#if defined(__SANITIZE_ADDRESS__)
// The system libraries' leaks the sanitizer build is told of (fileio/meta/Renderer.cpp)
// are not worth a line each at exit.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif

int main(int argc, char** argv) { return km::gui::RunEditorProgram(argc, argv); }
