#pragma once

// "Apply a New Palette": the file-open dialog with three buttons below it that choose
// how the palette is applied (nearest colour matching, error diffusion dithering,
// maintain indexes). The file must exist.

#include <QFileDialog>

class QButtonGroup;

namespace km::gui {

class CPaletteFileDialog : public QFileDialog {
  Q_OBJECT

public:
  // Titled `title`, filtered by a table filter ("name|pattern|...||"), with `extension`
  // added to a name typed without one.
  CPaletteFileDialog(const QString& title, const QString& filter, const QString& extension,
                     QWidget* parent = nullptr);

  // Starts at `path`: a file to preselect, or a folder and pattern ("/home/me/*.Pal").
  void setStartPath(const QString& path);
  void setMethod(int method);  // 0..2; another value checks no button
  int method() const;          // -1 when no button is checked
  QString chosenPath() const;

private:
  QButtonGroup* methods_;
};

// Qt's name filters for a table filter: "PAL - Palette File|*.pal|All Files|*.*||"
// becomes "PAL - Palette File (*.pal)", "All Files (*)".
QStringList NameFilters(const QString& tableFilter);

}  // namespace km::gui
