#pragma once

// The editor's informational and preference dialogs: file input preferences, the About
// box and the user manual.

class QWidget;

namespace km {
class Profile;
}

namespace km::gui {

// The two-page "File Input Preferences" sheet over the profile's "Format" values. OK
// writes the values (and "WMF_Prompt" = 0) and answers true; Cancel writes nothing.
bool EditInputPreferences(QWidget* parent, Profile& profile);

// The About box, with the system-information lines of this machine.
void ShowAboutBox(QWidget* parent);

// Opens the shipped user manual at the anchor of `topic` (0 = its contents page) in the
// desktop's browser. False when the manual cannot be found or opened.
bool OpenHelpTopic(int topic);

}  // namespace km::gui
