// The editor's script files: start-up with a command-line script, New, Open, the
// recent-script entries, Save and Save As.

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QTimer>

#include "common/Settings.h"
#include "gui/editor/EditorWindow.h"
#include "script/ScriptFile.h"
#include "StringTable.h"

namespace km::gui {
namespace {

enum Text : int {
  kLoseChanges = 200,
  kOpenFilter = 2016,
  kSaveFilter = 2017,
  kOpenTitle = 5022,
  kSaveTitle = 5023,
};

// A filter of the form "Name|pattern|Name|pattern||" as the file dialog takes it. "*.*"
// becomes "*" so that files without an extension are listed too.
QString DialogFilter(int stringId) {
  const QStringList parts = QString::fromStdString(LoadString(stringId)).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) break;
    QString name = parts[i];
    const qsizetype paren = name.indexOf(QLatin1String(" ("));
    if (paren >= 0) name.truncate(paren);
    QString pattern = parts[i + 1];
    pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
    if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    filters << QStringLiteral("%1 (%2)").arg(name, pattern);
  }
  return filters.join(QStringLiteral(";;"));
}

std::string FolderOf(const QString& path) {
  return QDir::cleanPath(QFileInfo(path).absolutePath()).toStdString();
}

}  // namespace

void EditorWindow::startUp() {
  loadPreview();
  if (start_.startMode == 0) return;
  script_.RemoveAll();
  setChanged(false);
  scriptPath_ = QString::fromStdString(start_.scriptPath);
  updateTitle();
  if (LoadScript(start_.scriptPath, &script_, messages_)) {
    fillScriptList();
    selectLine(0);
  } else {
    script_.RemoveAll();
    fillScriptList();
    updateParameters();
  }
  if (start_.startMode == 2) {
    QTimer::singleShot(0, this, [this] { startCommandLineRun(); });
  }
}

bool EditorWindow::askLoseChanges() {
  return !changed_ || messages_.askYesNo(LoadString(kLoseChanges), MessageIcon::Question);
}

void EditorWindow::newScript() {
  if (busy_ || testing_ || !askLoseChanges()) return;
  script_.RemoveAll();
  scriptList_->clear();
  updateParameters();
  setChanged(false);
  scriptPath_.clear();
  updateTitle();
  loadPreview();
}

QString EditorWindow::askOpenPath(const QString& folder) {
  QFileDialog dialog(this, QString::fromStdString(LoadString(kOpenTitle)), folder, DialogFilter(kOpenFilter));
  dialog.setObjectName(QStringLiteral("openScriptDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("rsq"));
  return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                 : QString();
}

QString EditorWindow::askSavePath(const QString& current) {
  QFileDialog dialog(this, QString::fromStdString(LoadString(kSaveTitle)), QString(), DialogFilter(kSaveFilter));
  dialog.setObjectName(QStringLiteral("saveScriptDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("rsq"));
  const QString folder = QString::fromStdString(
      profile_.getString(settings::kGeneral, settings::kScriptDir, settings::DefaultFolder()));
  if (scriptPath_.isEmpty()) {
    dialog.setDirectory(folder);
    dialog.selectFile(current);
  } else {
    dialog.selectFile(scriptPath_);
  }
  return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                 : QString();
}

void EditorWindow::openScript() {
  if (busy_ || testing_ || !askLoseChanges()) return;
  const QString folder = QString::fromStdString(
      profile_.getString(settings::kGeneral, settings::kScriptDir, settings::DefaultFolder()));
  const QString path = askOpenPath(folder);
  if (path.isEmpty()) return;
  profile_.setString(settings::kGeneral, settings::kScriptDir, FolderOf(path));
  recent_.add(QFileInfo(path).absoluteFilePath().toStdString());
  updateRecentMenu();
  openScriptPath(path);
}

bool EditorWindow::openScriptPath(const QString& path) {
  script_.RemoveAll();
  setChanged(false);
  scriptPath_ = QFileInfo(path).absoluteFilePath();
  updateTitle();
  const bool loaded = LoadScript(scriptPath_.toStdString(), &script_, messages_);
  if (!loaded) script_.RemoveAll();
  fillScriptList();
  selectLine(loaded ? 0 : -1);
  loadPreview();
  return loaded;
}

void EditorWindow::openRecent(int index) {
  if (busy_ || testing_) return;
  if (index < 0 || index >= static_cast<int>(recent_.entries().size())) return;
  if (!askLoseChanges()) return;
  const QString path = QString::fromStdString(recent_.entries()[static_cast<std::size_t>(index)]);
  if (!openScriptPath(path)) {
    recent_.remove(index);
  } else {
    profile_.setString(settings::kGeneral, settings::kScriptDir, FolderOf(path));
    recent_.add(path.toStdString());
  }
  updateRecentMenu();
}

bool EditorWindow::saveScript() {
  if (scriptPath_.isEmpty()) return saveScriptAs();
  if (!SaveScript(scriptPath_.toStdString(), script_, messages_)) return false;
  setChanged(false);
  updateTitle();
  return true;
}

bool EditorWindow::saveScriptAs() {
  const QString chosen = askSavePath(scriptName());
  if (chosen.isEmpty()) return false;
  const QString path = QFileInfo(chosen).absoluteFilePath();
  recent_.add(path.toStdString());
  updateRecentMenu();
  if (!SaveScript(path.toStdString(), script_, messages_)) return false;
  profile_.setString(settings::kGeneral, settings::kScriptDir, FolderOf(path));
  setChanged(false);
  scriptPath_ = path;
  updateTitle();
  return true;
}

}  // namespace km::gui
