#pragma once

// Editing one script command in its parameter dialog.

class QWidget;

namespace km {
class CScript;
class Profile;
class Dib;
class MessageService;
}  // namespace km

namespace km::gui {

// Shows the parameter dialog of the command at `index`, filled from its stored values
// (the defaults for fields holding the unset marker, then the opening clamps), and on
// OK stores back exactly the fields the dialog read. True on OK or when the command has
// no dialog; false when the index is out of range, the preview image is unusable, or the
// user cancelled, and then nothing is stored. `preview` is the editor's preview image
// (not owned); `profile` keeps the colour chooser's custom colours; the range messages,
// "at least one non-zero value" and a failed preview go through `messages`. "Set Output
// Options" (544) has its dialog with the batch dialogs: here it answers true and stores
// nothing.
bool EditParameters(QWidget* parent, CScript& script, int index, const Dib* preview, Profile& profile,
                    MessageService& messages);

}  // namespace km::gui
