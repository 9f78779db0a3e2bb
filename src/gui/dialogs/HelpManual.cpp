#include "gui/dialogs/HelpManual.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include "gui/dialogs/InfoDialogs.h"

namespace km::gui {

QString ManualPath() {
  const QDir programFolder(QCoreApplication::applicationDirPath());
  const QString path =
      QDir::cleanPath(programFolder.filePath(QStringLiteral("../share/doc/kilnmark/index.html")));
  return QFileInfo(path).isFile() ? path : QString();
}

QUrl HelpTopicUrl(int topic) {
  const QString path = ManualPath();
  if (path.isEmpty()) {
    return {};
  }
  QUrl url = QUrl::fromLocalFile(path);
  if (topic != 0) {
    url.setFragment(QStringLiteral("topic-%1").arg(topic));
  }
  return url;
}

bool OpenHelpTopic(int topic) {
  const QUrl url = HelpTopicUrl(topic);
  return !url.isEmpty() && QDesktopServices::openUrl(url);
}

}  // namespace km::gui
