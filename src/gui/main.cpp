#include "gui/GuiMain.h"

int main(int argc, char** argv) { return km::gui::RunEditorProgram(argc, argv); }
