#pragma once

// The About box: the program's icon and title, "About Tavo Kilnmark" as caption, the
// version line and the "System information:" list.

#include <string>
#include <vector>

#include <QDialog>

#include "app/AboutInfo.h"

class QScreen;

namespace km::gui {

// The display facts of `screen` in device pixels: depth, palette size (2^depth for a
// depth of 8 or less, else none) and resolution.
DisplayFacts ScreenFacts(const QScreen* screen);

class CAboutDlg : public QDialog {
  Q_OBJECT

public:
  CAboutDlg(const std::vector<std::string>& systemLines, QWidget* parent = nullptr);
};

}  // namespace km::gui
