#pragma once

// Metafile text is bytes in the character set its font names; the renderer takes
// UTF-8.

#include <string>

namespace km::meta {

// Character set numbers as metafile fonts give them (0 ANSI, 204 Cyrillic, 238 Central
// European, 128 Japanese, ...); kLatin1 for the ISO 8859-1 text of CGM and Lotus files.
inline constexpr int kLatin1 = -1;

// The bytes as UTF-8; control characters are dropped and bytes the character set does
// not define become "?".
std::string TextToUtf8(const std::string& bytes, int charset);

}  // namespace km::meta
