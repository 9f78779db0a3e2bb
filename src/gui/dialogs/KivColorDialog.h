#pragma once

// The colour chooser: the widget colour dialog with a caption of its own, a Help button
// and the 16 custom colours of the settings (section "CustomColors", value "ColorRefs":
// 64 bytes, 4 per colour, 0x00BBGGRR little-endian).

#include <array>
#include <cstdint>
#include <vector>

#include <QColorDialog>
#include <QString>

namespace km {
class Profile;
}

namespace km::gui {

inline constexpr int kCustomColourCount = 16;
using CustomColours = std::array<std::uint32_t, kCustomColourCount>;

QColor ColourFromRef(std::uint32_t ref);
std::uint32_t RefFromColour(const QColor& colour);

// The dialog's custom colours (process-wide in Qt), and setting them.
CustomColours CurrentCustomColours();
void SetCustomColours(const CustomColours& colours);

// `stored` copied byte by byte over `base` (at most 64 bytes; a shorter value changes
// only the bytes it has), and the 64-byte value of a set of colours.
CustomColours MergeStoredColours(const CustomColours& base, const std::vector<std::uint8_t>& stored);
std::vector<std::uint8_t> ColourRefBytes(const CustomColours& colours);

class CKivColorDialog : public QColorDialog {
  Q_OBJECT

public:
  // A dialog on `colour` (0x00BBGGRR) captioned `caption` when that is not empty.
  CKivColorDialog(std::uint32_t colour, const QString& caption, QWidget* parent = nullptr);

  std::uint32_t chosenRef() const { return RefFromColour(currentColor()); }
};

}  // namespace km::gui
