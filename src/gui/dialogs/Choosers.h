#pragma once

// The small choosers every window of the editor shares: colour, folder, preview picture.

#include <cstdint>

#include <QString>

class QWidget;

namespace km {
class FileTypeTable;
class Profile;
}

namespace km::gui {

// The one colour chooser. Opens a colour dialog captioned with string `captionId`
// (2516, 2517, 2518, ...) on *colour (0x00BBGGRR), with the 16 custom colours kept in
// section "CustomColors", value "ColorRefs" (64 bytes, 0x00BBGGRR each). OK stores the
// choice in *colour and the custom colours in the profile and answers true; Cancel
// changes nothing and answers false.
bool ChooseColour(QWidget* parent, Profile& profile, std::uint32_t* colour, int captionId);

// The folder chooser: a directory dialog titled `title` whose OK button reads "&Select",
// starting in `start`. Answers the chosen folder without a trailing separator ("/" for
// the root), or an empty string on Cancel.
QString ChooseFolder(QWidget* parent, const QString& title, const QString& start);

// The preview chooser: a file dialog over every readable type of `types` (BMP first) with the
// "&Default" button. Answers true with *path set to the chosen file, or to
// "Internal Preview" (InternalPreviewName() of NewPreviewDlg.h, the value that selects the
// built-in picture) when "&Default" was pressed; false on Cancel.
bool ChoosePreviewFile(QWidget* parent, const QString& current, const FileTypeTable& types, QString* path);

}  // namespace km::gui
