#include "script/ScriptFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "StringTable.h"
#include "common/SystemError.h"

namespace km {
namespace {

void PutU32(std::vector<std::uint8_t>* out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutI32(std::vector<std::uint8_t>* out, std::int32_t v) { PutU32(out, static_cast<std::uint32_t>(v)); }
void PutReal(std::vector<std::uint8_t>* out, float v) { PutU32(out, std::bit_cast<std::uint32_t>(v)); }
void PutText(std::vector<std::uint8_t>* out, const std::string& s) {
  PutU32(out, static_cast<std::uint32_t>(s.size()));
  out->insert(out->end(), s.begin(), s.end());
}

std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Where the parser takes its bytes from. read() answers false when fewer than n bytes
// remain (or the file cannot be read); nothing past the end is ever used.
class MemorySource {
public:
  MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), left_(size) {}
  bool read(std::uint8_t* dst, std::size_t n) {
    if (n > left_) return false;
    if (n) std::memcpy(dst, data_, n);
    data_ += n;
    left_ -= n;
    return true;
  }
  // Everything not read yet.
  bool rest(std::vector<std::uint8_t>* out) {
    out->assign(data_, data_ + left_);
    data_ += left_;
    left_ = 0;
    return true;
  }
  int error() const { return 0; }

private:
  const std::uint8_t* data_;
  std::size_t left_;
};

class FileSource {
public:
  explicit FileSource(std::FILE* f) : f_(f) {}
  bool read(std::uint8_t* dst, std::size_t n) {
    if (n == 0) return true;
    errno = 0;
    std::size_t got = std::fread(dst, 1, n, f_);
    if (got == n) return true;
    if (std::ferror(f_)) error_ = errno ? errno : EIO;
    return false;
  }
  bool rest(std::vector<std::uint8_t>* out) {
    out->clear();
    std::uint8_t chunk[4096];
    for (;;) {
      errno = 0;
      const std::size_t got = std::fread(chunk, 1, sizeof chunk, f_);
      out->insert(out->end(), chunk, chunk + got);
      if (got < sizeof chunk) break;
    }
    if (!std::ferror(f_)) return true;
    error_ = errno ? errno : EIO;
    return false;
  }
  // The errno of a failed read, 0 when the file simply ended.
  int error() const { return error_; }

private:
  std::FILE* f_;
  int error_ = 0;
};

enum class ParseResult { Ok, NotValid, WrongVersion };

// A text up to its first zero byte, as the text is a C string; `whole` keeps every
// stored byte.
template <typename Source>
bool ReadText(Source& src, std::string* text, bool whole) {
  std::uint8_t len[4];
  if (!src.read(len, 4)) return false;
  std::uint32_t n = U32(len);
  if (n > kMaxScriptTextLength) return false;  // does not fit the reader's buffer
  char buffer[kMaxScriptTextLength + 1];
  if (!src.read(reinterpret_cast<std::uint8_t*>(buffer), n)) return false;
  buffer[n] = '\0';
  if (whole) {
    text->assign(buffer, n);
  } else {
    text->assign(buffer);
  }
  return true;
}

// Reads a whole script; the commands go to *commands (and the rest of the file to
// *extras, when given) only when every record is there.
template <typename Source>
ParseResult Parse(Source& src, std::vector<std::unique_ptr<CScriptCommand>>* commands,
                  ScriptFileExtras* extras) {
  const bool whole = extras != nullptr;
  std::uint8_t head[kScriptHeaderSize];
  if (!src.read(head, 18) || std::memcmp(head, kScriptSignature, 18) != 0) {
    return ParseResult::NotValid;
  }
  if (!src.read(head + 18, 2)) return ParseResult::NotValid;
  if (head[18] != 1 || head[19] != 0) return ParseResult::WrongVersion;
  if (!src.read(head + 20, 4)) return ParseResult::NotValid;
  const std::int32_t count = static_cast<std::int32_t>(U32(head + 20));
  std::vector<std::unique_ptr<CScriptCommand>> read;  // grows with the data actually read
  for (std::int32_t i = 0; i < count; ++i) {
    std::uint8_t fixed[32];
    if (!src.read(fixed, sizeof fixed)) return ParseResult::NotValid;
    auto c = std::make_unique<CScriptCommand>();
    c->Code = static_cast<std::int32_t>(U32(fixed));
    c->Int1 = static_cast<std::int32_t>(U32(fixed + 4));
    c->Int2 = static_cast<std::int32_t>(U32(fixed + 8));
    c->Int3 = static_cast<std::int32_t>(U32(fixed + 12));
    c->Int4 = static_cast<std::int32_t>(U32(fixed + 16));
    c->Int5 = static_cast<std::int32_t>(U32(fixed + 20));
    c->Real1 = std::bit_cast<float>(U32(fixed + 24));
    c->Real2 = std::bit_cast<float>(U32(fixed + 28));
    if (!ReadText(src, &c->Text1, whole) || !ReadText(src, &c->Text2, whole)) return ParseResult::NotValid;
    std::uint8_t colors[8];
    if (!src.read(colors, sizeof colors)) return ParseResult::NotValid;
    c->Color1 = U32(colors);
    c->Color2 = U32(colors + 4);
    read.push_back(std::move(c));
  }
  if (extras) {
    ScriptFileExtras rest;
    rest.count = std::min(count, 0);
    if (!src.rest(&rest.trailing)) return ParseResult::NotValid;
    *extras = std::move(rest);
  }
  *commands = std::move(read);
  return ParseResult::Ok;
}

int ResultId(ParseResult r) {
  switch (r) {
    case ParseResult::Ok: return 0;
    case ParseResult::NotValid: return kScriptNotValid;
    case ParseResult::WrongVersion: return kScriptWrongVersion;
  }
  return kScriptNotValid;
}

void AppendAll(std::vector<std::unique_ptr<CScriptCommand>>& commands, CScript* script) {
  for (auto& c : commands) script->Append(std::move(c));
}

}  // namespace

bool EncodeScript(const CScript& script, std::vector<std::uint8_t>* bytes, const ScriptFileExtras* extras) {
  std::vector<std::uint8_t> out;
  out.insert(out.end(), kScriptSignature, kScriptSignature + 18);
  out.push_back(1);
  out.push_back(0);
  const bool storedCount = extras && script.GetCount() == 0 && extras->count < 0;
  PutI32(&out, storedCount ? extras->count : script.GetCount());
  for (int i = 0; i < script.GetCount(); ++i) {
    const CScriptCommand& c = *script.GetAt(i);
    if (c.Text1.size() > kMaxScriptTextLength || c.Text2.size() > kMaxScriptTextLength) {
      return false;
    }
    for (std::int32_t v : {c.Code, c.Int1, c.Int2, c.Int3, c.Int4, c.Int5}) PutI32(&out, v);
    PutReal(&out, c.Real1);
    PutReal(&out, c.Real2);
    PutText(&out, c.Text1);
    PutText(&out, c.Text2);
    PutU32(&out, c.Color1);
    PutU32(&out, c.Color2);
  }
  if (extras) out.insert(out.end(), extras->trailing.begin(), extras->trailing.end());
  *bytes = std::move(out);
  return true;
}

int DecodeScript(const std::uint8_t* data, std::size_t size, CScript* script, ScriptFileExtras* extras) {
  if (!script || (!data && size)) return kScriptNotValid;
  MemorySource src(data, size);
  std::vector<std::unique_ptr<CScriptCommand>> commands;
  ParseResult r = Parse(src, &commands, extras);
  if (r == ParseResult::Ok) AppendAll(commands, script);
  return ResultId(r);
}

int WriteScriptFile(const std::string& path, const CScript& script, std::string* message,
                    const ScriptFileExtras* extras) {
  auto fail = [&](const std::string& reason) {
    if (message) *message = FormatString(kScriptSaveFailed, reason);
    return kScriptSaveFailed;
  };
  std::vector<std::uint8_t> bytes;
  if (!EncodeScript(script, &bytes, extras)) {
    return fail(LoadString(kScriptTextTooLong));  // refused before the file is touched
  }
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return fail(SystemErrorText(errno));
  errno = 0;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  int err = errno;
  if (std::fflush(f) != 0 && written) {
    written = false;
    err = errno;
  }
  if (std::fclose(f) != 0 && written) {
    written = false;
    err = errno;
  }
  if (!written) return fail(SystemErrorText(err));
  if (message) message->clear();
  return 0;
}

int ReadScriptFile(const std::string& path, CScript* script, std::string* message, ScriptFileExtras* extras) {
  if (message) message->clear();
  std::string reason;
  if (!CanOpenForReading(path, &reason)) {
    if (message) *message = FormatString(kScriptLoadFailed, reason);
    return kScriptLoadFailed;
  }
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    if (message) *message = FormatString(kScriptLoadFailed, SystemErrorText(errno));
    return kScriptLoadFailed;
  }
  FileSource src(f);
  std::vector<std::unique_ptr<CScriptCommand>> commands;
  ParseResult r = Parse(src, &commands, extras);
  std::fclose(f);
  if (src.error() != 0) {
    if (message) *message = FormatString(kScriptLoadFailed, SystemErrorText(src.error()));
    return kScriptLoadFailed;
  }
  int id = ResultId(r);
  if (id == 0) {
    if (script) AppendAll(commands, script);
  } else if (message) {
    *message = LoadString(id);
  }
  return id;
}

MessageIcon ScriptFileMessageIcon(int stringId) {
  return stringId == kScriptSaveFailed || stringId == kScriptLoadFailed ? MessageIcon::Stop
                                                                        : MessageIcon::None;
}

bool SaveScript(const std::string& path, const CScript& script, MessageService& messages) {
  std::string message;
  int id = WriteScriptFile(path, script, &message);
  if (id != 0) messages.message(message, ScriptFileMessageIcon(id));
  return id == 0;
}

bool LoadScript(const std::string& path, CScript* script, MessageService& messages) {
  std::string message;
  int id = ReadScriptFile(path, script, &message);
  if (id != 0) messages.message(message, ScriptFileMessageIcon(id));
  return id == 0;
}

}  // namespace km
