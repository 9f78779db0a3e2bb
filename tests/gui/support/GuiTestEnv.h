#pragma once

// What every GUI suite shares: a private settings, state and data folder for the whole
// process (so settings never leak into the user's or between suites), made before the
// QApplication exists, and small helpers to find widgets by object name.

#include <QString>
#include <QTemporaryDir>
#include <QWidget>

namespace km::guitest {

// Points XDG_CONFIG_HOME, XDG_STATE_HOME, XDG_DATA_HOME and HOME at folders under a
// temporary folder that lives until the process ends. Call first thing in main().
void IsolateUserFolders();

// The temporary root made by IsolateUserFolders().
QString TestRoot();

// The child of `parent` with this object name, failing the test when there is none.
template <typename T>
T* Child(const QWidget* parent, const char* name) {
  return parent->findChild<T*>(QString::fromLatin1(name));
}

}  // namespace km::guitest

// Main for a Qt Test suite with isolated user folders and the offscreen platform.
#define KM_GUI_TEST_MAIN(TestClass)                        \
  int main(int argc, char** argv) {                        \
    ::km::guitest::IsolateUserFolders();                   \
    qputenv("QT_QPA_PLATFORM", "offscreen");               \
    QApplication app(argc, argv);                          \
    app.setAttribute(Qt::AA_Use96Dpi, true);               \
    TestClass tc;                                          \
    return QTest::qExec(&tc, argc, argv);                  \
  }
