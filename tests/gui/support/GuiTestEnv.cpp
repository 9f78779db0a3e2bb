#include "support/GuiTestEnv.h"

#include <cstdlib>
#include <memory>

#include <QDir>

namespace km::guitest {

namespace {
std::unique_ptr<QTemporaryDir>& Root() {
  static std::unique_ptr<QTemporaryDir> root;
  return root;
}
}  // namespace

void IsolateUserFolders() {
  Root() = std::make_unique<QTemporaryDir>();
  const QString base = Root()->path();
  for (const char* sub : {"config", "state", "data", "home"}) QDir(base).mkpath(QString::fromLatin1(sub));
  qputenv("XDG_CONFIG_HOME", (base + "/config").toUtf8());
  qputenv("XDG_STATE_HOME", (base + "/state").toUtf8());
  qputenv("XDG_DATA_HOME", (base + "/data").toUtf8());
  qputenv("HOME", (base + "/home").toUtf8());
}

QString TestRoot() { return Root() ? Root()->path() : QString(); }

}  // namespace km::guitest
