#include "gui/GuiMain.h"

#include <string>
#include <vector>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include "app/FileTypeRegistration.h"
#include "app/SettingsProfile.h"
#include "common/Settings.h"
#include "gui/QtMessageService.h"
#include "gui/editor/EditorWindow.h"
#include "script/CommandLine.h"
#include "StringTable.h"

namespace km::gui {
namespace {

int ScreenDepth() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return DisplayDepth(screen != nullptr ? screen->depth() : 24);
}

}  // namespace

int RunEditorProgram(int argc, char** argv) {
  QApplication app(argc, argv);

  // Settings live in ~/.config/Tavo/Tavo Kilnmark.ini.
  QCoreApplication::setOrganizationName(QString::fromLatin1(settings::kOrganisation));
  QCoreApplication::setApplicationName(QString::fromLatin1(settings::kApplication));
  QGuiApplication::setDesktopFileName(QStringLiteral("kilnmark"));
  SettingsProfile profile;

  // The recent-script list is read by the editor from the same settings (4 entries).
  RegisterScriptFileType();
  int depth = ScreenDepth();

  QtMessageService messages;
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  StartSettings start;
  if (!PrepareStart(arguments, messages, &start)) {
    return 0;  // the refusal has been shown; no editor
  }

  EditorWindow editor(profile, messages);
  messages.setParent(&editor);
  editor.setStartSettings(start);
  editor.setScreenDepth(depth);
  QObject::connect(&app, &QGuiApplication::primaryScreenChanged, &editor,
                   [&editor] { editor.setScreenDepth(ScreenDepth()); });
  editor.show();
  editor.startUp();
  const int status = app.exec();
  profile.sync();
  // A command-line run answers as the console runner does, so it can be scripted.
  return start.startMode == 2 ? editor.exitStatus() : status;
}

}  // namespace km::gui
