#pragma once

// Script files (".rsq"). All integers little-endian, no padding:
//
//   offset 0   18 bytes  "TAVO Batch Script" and one zero byte
//   offset 18  1 byte    major version 1
//   offset 19  1 byte    minor version 0
//   offset 20  4 bytes   number of commands N (signed)
//   offset 24  N records, each:
//              Code, Int1..Int5 (4 bytes each), Real1, Real2 (IEEE single bit patterns),
//              Text1 and Text2 (a 4-byte length L, then L bytes, no terminating zero),
//              Color1, Color2 (0x00BBGGRR)
//
// A record is 48 + L1 + L2 bytes (40 bytes of numbers, two 4-byte lengths, the texts);
// an empty script is 24 bytes, a never-edited command without texts 24 + 48.
//
// The reader takes a whole file or nothing: a wrong signature, a file that ends before
// its N records are complete, and a text of 1024 bytes or more are all refused with
// string 2068 and append no command, so a half-read script can never be saved back over
// its file. A text is taken up to its first zero byte. Codes and parameters are not
// checked against the catalogue. Nothing is allocated from the stored count.
//
// A converter that must give a file back byte for byte (the JSON form of a script) reads
// and writes with a ScriptFileExtras: texts are then kept whole, zero bytes and all, and
// what the commands do not hold (a count below zero, bytes after the last record) goes
// there.

#include <cstdint>
#include <string>
#include <vector>

#include "common/MessageService.h"
#include "script/Script.h"

namespace km {

inline constexpr char kScriptSignature[18] = "TAVO Batch Script";  // 17 characters + zero
inline constexpr std::size_t kScriptHeaderSize = 24;
inline constexpr std::size_t kScriptRecordFixedSize = 48;
inline constexpr std::uint32_t kMaxScriptTextLength = 1023;  // the reader's 1024-byte buffer

// String ids of the refusals.
inline constexpr int kScriptSaveFailed = 2066;   // "The script file could not be saved because %s"
inline constexpr int kScriptLoadFailed = 2067;   // "The script could not be loaded because %s"
inline constexpr int kScriptNotValid = 2068;     // wrong signature, truncated, oversize text
inline constexpr int kScriptWrongVersion = 5024;
inline constexpr int kScriptTextTooLong = 2092;  // the reason given with 2066 for such a text

// What a script file holds besides its commands. A count of 0 or less reads no command,
// so a file without commands may store a negative one; the reader never looks at bytes
// after the last record.
struct ScriptFileExtras {
  std::int32_t count = 0;              // the stored count of a file without commands
  std::vector<std::uint8_t> trailing;  // the bytes after the last record
};

// The file's bytes for `script`. False, with nothing written to *bytes, when a text is
// longer than the reader accepts (kMaxScriptTextLength). With `extras`, a script without
// commands stores extras->count when it is below zero, and extras->trailing follows the
// last record.
bool EncodeScript(const CScript& script, std::vector<std::uint8_t>* bytes,
                  const ScriptFileExtras* extras = nullptr);

// Parses a script file held in memory and appends its commands to *script. Answers 0,
// kScriptNotValid or kScriptWrongVersion; on a refusal *script is unchanged. With
// `extras`, texts are kept whole and *extras receives the rest of the file.
int DecodeScript(const std::uint8_t* data, std::size_t size, CScript* script,
                 ScriptFileExtras* extras = nullptr);

// Non-interactive save and load: 0 on success, else the string id of the refusal with
// the complete message text (the system's reason filled in) in *message. `extras` as
// for EncodeScript and DecodeScript.
int WriteScriptFile(const std::string& path, const CScript& script, std::string* message,
                    const ScriptFileExtras* extras = nullptr);
int ReadScriptFile(const std::string& path, CScript* script, std::string* message,
                   ScriptFileExtras* extras = nullptr);

// The editor's Save and Open: failures are shown through `messages` (2066 and 2067 with
// a stop icon, 2068 and 5024 as plain notices); true on success.
bool SaveScript(const std::string& path, const CScript& script, MessageService& messages);
bool LoadScript(const std::string& path, CScript* script, MessageService& messages);

// The icon the message of a refusal is shown with.
MessageIcon ScriptFileMessageIcon(int stringId);

}  // namespace km
