#include "gui/dialogs/KivColorDialog.h"

#include <algorithm>
#include <cstring>

#include <QDialogButtonBox>
#include <QPushButton>

#include "common/Profile.h"
#include "common/Settings.h"
#include "gui/dialogs/Choosers.h"
#include "gui/dialogs/DialogText.h"
#include "gui/dialogs/HelpTopics.h"
#include "gui/dialogs/InfoDialogs.h"

namespace km::gui {

QColor ColourFromRef(std::uint32_t ref) {
  return QColor(static_cast<int>(ref & 0xFF), static_cast<int>((ref >> 8) & 0xFF),
                static_cast<int>((ref >> 16) & 0xFF));
}

std::uint32_t RefFromColour(const QColor& colour) {
  return static_cast<std::uint32_t>(colour.red()) | static_cast<std::uint32_t>(colour.green()) << 8 |
         static_cast<std::uint32_t>(colour.blue()) << 16;
}

CustomColours CurrentCustomColours() {
  CustomColours colours{};
  for (int i = 0; i < kCustomColourCount; ++i) {
    colours[static_cast<std::size_t>(i)] = RefFromColour(QColorDialog::customColor(i));
  }
  return colours;
}

void SetCustomColours(const CustomColours& colours) {
  for (int i = 0; i < kCustomColourCount; ++i) {
    QColorDialog::setCustomColor(i, ColourFromRef(colours[static_cast<std::size_t>(i)]));
  }
}

CustomColours MergeStoredColours(const CustomColours& base, const std::vector<std::uint8_t>& stored) {
  std::vector<std::uint8_t> bytes = ColourRefBytes(base);
  std::copy_n(stored.begin(), std::min<std::size_t>(stored.size(), bytes.size()), bytes.begin());
  CustomColours merged{};
  for (std::size_t i = 0; i < merged.size(); ++i) {
    merged[i] = static_cast<std::uint32_t>(bytes[4 * i]) | static_cast<std::uint32_t>(bytes[4 * i + 1]) << 8 |
                static_cast<std::uint32_t>(bytes[4 * i + 2]) << 16 |
                static_cast<std::uint32_t>(bytes[4 * i + 3]) << 24;
  }
  return merged;
}

std::vector<std::uint8_t> ColourRefBytes(const CustomColours& colours) {
  std::vector<std::uint8_t> bytes(settings::kColorRefsBytes);
  for (std::size_t i = 0; i < colours.size(); ++i) {
    for (std::size_t b = 0; b < 4; ++b) {
      bytes[4 * i + b] = static_cast<std::uint8_t>(colours[i] >> (8 * b));
    }
  }
  return bytes;
}

CKivColorDialog::CKivColorDialog(std::uint32_t colour, const QString& caption, QWidget* parent)
    : QColorDialog(ColourFromRef(colour), parent) {
  setObjectName(QStringLiteral("colourChooser"));
  setOption(QColorDialog::DontUseNativeDialog);
  if (!caption.isEmpty()) {
    setWindowTitle(caption);
  }
  if (auto* buttons = findChild<QDialogButtonBox*>()) {
    if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) ok->setObjectName(QStringLiteral("okButton"));
    if (QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel)) {
      cancel->setObjectName(QStringLiteral("cancelButton"));
    }
    QPushButton* help = buttons->addButton(DialogString(text::kHelp), QDialogButtonBox::HelpRole);
    help->setObjectName(QStringLiteral("helpButton"));
    connect(help, &QPushButton::clicked, this, [] { OpenHelpTopic(help::kColourChooser); });
  }
}

bool ChooseColour(QWidget* parent, Profile& profile, std::uint32_t* colour, int captionId) {
  const CustomColours before = CurrentCustomColours();
  SetCustomColours(MergeStoredColours(before, profile.getBinary(settings::kCustomColors, settings::kColorRefs)));
  CKivColorDialog dialog(*colour, captionId >= 0 ? DialogString(captionId) : QString(), parent);
  if (dialog.exec() != QDialog::Accepted) {
    // The dialog edits the process-wide colours in place; a cancelled use keeps none
    // of its edits.
    SetCustomColours(before);
    return false;
  }
  profile.setBinary(settings::kCustomColors, settings::kColorRefs, ColourRefBytes(CurrentCustomColours()));
  *colour = dialog.chosenRef();
  return true;
}

}  // namespace km::gui
