#pragma once

// The files that ship with the editor, found beside the running program: the user
// manual and the application icon. Installed, they are in <prefix>/share; the build
// tree repeats that layout (build/bin and build/share).

#include <QIcon>
#include <QString>
#include <QUrl>

namespace km::gui {

// share/ beside the folder of the running program (may not exist).
QString ShareFolder();

// The manual's contents page, share/doc/kilnmark/index.html; empty when it is not there.
QString ManualPath();

// The manual at the anchor of `topic` ("topic-<n>"), or its contents page for topic 0;
// an empty URL when the manual cannot be found.
QUrl HelpTopicUrl(int topic);

// The program's icon from share/icons/hicolor (every size there), else the desktop
// theme's "kilnmark" icon (null when neither exists).
QIcon ApplicationIcon();

}  // namespace km::gui
