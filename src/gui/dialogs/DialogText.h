#pragma once

// String-table texts as QStrings, and the ids of the texts the choosers, the About box
// and the input preferences show in their own controls.

#include <QString>

#include "StringTable.h"

namespace km::gui {

inline QString DialogString(int id) { return QString::fromStdString(LoadString(id)); }

namespace text {
inline constexpr int kSystemInformation = 21000;  // "System information:"
inline constexpr int kPhotoCdPage = 21100;        // "Photo CD"
inline constexpr int kPhotoCdGroup = 21101;       // "Photo CD read size"
inline constexpr int kFirstPcdSize = 21102;       // "Base / &16" ... "Base * 1&6"
inline constexpr int kWmfPage = 21107;            // "WMF "
inline constexpr int kWmfGroup = 21108;           // "Default size when no header is available"
inline constexpr int kWidth = 21109;              // "&Width:"
inline constexpr int kHeight = 21110;             // "&Height:"
inline constexpr int kIntegerRange = 21111;       // "Please enter an integer between %d and %d."
inline constexpr int kBatchRunsGroup = 21112;     // "Batch runs"
inline constexpr int kJobs = 21113;               // "Files converted at &once:"
inline constexpr int kJobsPerProcessor = 21114;   // "One per processor"
inline constexpr int kSelectedFolder = 21200;     // "Selected folder:"
inline constexpr int kDefault = 21300;            // "&Default"
inline constexpr int kHelp = 21301;               // "&Help"
inline constexpr int kInternalPreview = 2731;     // "Internal Preview"
inline constexpr int kApplicationTitle = 57344;   // "Tavo Kilnmark"
inline constexpr int kSelect = 1519;              // "&Select"
inline constexpr int kOpenPreviewImage = 2515;    // "Open Preview Image"
inline constexpr int kPreviewFilter = 2063;       // "Preview Bitmap File (*.bmp)|*.bmp|All Files (*.*)|*.*||"
inline constexpr int kPreferencesCaption = 108;   // "File Input Preferences"
}  // namespace text

}  // namespace km::gui
