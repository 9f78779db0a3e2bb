#include "gui/dialogs/ShippedFiles.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include "gui/dialogs/InfoDialogs.h"

namespace km::gui {

QString ShareFolder() {
  return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share"));
}

QString ManualPath() {
  const QString path = ShareFolder() + QStringLiteral("/doc/kilnmark/index.html");
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

QIcon ApplicationIcon() {
  QIcon icon;
  const QDir hicolor(ShareFolder() + QStringLiteral("/icons/hicolor"));
  for (const QString& size : hicolor.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    const QString file = hicolor.filePath(size + QStringLiteral("/apps/kilnmark.png"));
    if (QFileInfo(file).isFile()) {
      icon.addFile(file);
    }
  }
  if (icon.isNull()) {
    icon = QIcon::fromTheme(QStringLiteral("kilnmark"));
  }
  return icon;
}

}  // namespace km::gui
