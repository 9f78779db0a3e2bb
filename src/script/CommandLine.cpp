#include "script/CommandLine.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "StringTable.h"
#include "common/SystemError.h"

namespace km {
namespace {

bool HasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

bool IsLetter(const std::string& text, char lower) {
  return text.size() == 1 && std::tolower(static_cast<unsigned char>(text[0])) == lower;
}

constexpr int kScriptCannotOpen = 2067;

}  // namespace

bool CommandLineRecord::ParseArgument(const std::string& text, bool isSwitch, bool isLast) {
  if (isSwitch) {
    if (parseState != 1) {
      return false;
    }
    if (text == "@") {
      if (!filePattern.empty() || !listFile.empty()) return false;
      parseState = 2;
    } else if (IsLetter(text, 'l')) {
      if (!logFile.empty()) return false;
      parseState = 3;
    } else if (IsLetter(text, 'e')) {
      errorMessages = 1;
    } else if (IsLetter(text, 'i')) {
      minimise = 1;
    } else if (IsLetter(text, 'n')) {
      keepOpen = 1;
    } else if (IsLetter(text, 'r')) {
      mode = 2;
    } else {
      return false;
    }
  } else {
    switch (parseState) {
      case 0:
        if (HasWildcard(text)) return false;
        scriptPath = text;
        mode = 1;
        break;
      case 2:
        if (HasWildcard(text)) return false;
        listFile = text;
        shellCommand = 0;
        break;
      case 3:
        if (HasWildcard(text)) return false;
        logFile = text;
        break;
      default:
        if (!filePattern.empty() || !listFile.empty()) return false;
        filePattern = text;
        shellCommand = 0;
        break;
    }
    parseState = 1;
  }
  return !(isLast && (parseState == 2 || parseState == 3));
}

bool SplitSwitch(const std::string& argument, std::string* text) {
  if (!argument.empty() && argument[0] == '-') {
    *text = argument.substr(1);
    return true;
  }
  if (argument.size() == 2 && argument[0] == '/') {
    *text = argument.substr(1);
    return true;
  }
  *text = argument;
  return false;
}

bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLineRecord* record) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string text;
    bool isSwitch = SplitSwitch(arguments[i], &text);
    if (!record->ParseArgument(text, isSwitch, i + 1 == arguments.size())) {
      return false;
    }
  }
  return true;
}

std::string WithScriptExtension(const std::string& path) {
  std::size_t slash = path.rfind('/');
  std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  return path.find('.', nameStart) == std::string::npos ? path + ".rsq" : path;
}

int PrepareStart(const std::vector<std::string>& arguments, CommandLineRecord* record,
                 StartSettings* settings, std::string* message) {
  CommandLineRecord line;
  StartSettings out;
  if (message) message->clear();
  bool ok = ParseCommandLine(arguments, &line);
  if (record) *record = line;
  if (!ok) {
    if (message) *message = LoadString(kInvalidCommandLine);
    return kInvalidCommandLine;
  }
  if (line.mode != 0) {
    out.startMode = line.mode;
    out.runWithoutInterrupting = line.errorMessages ? 0 : 1;
    out.minimise = line.minimise;
    out.closeAtEnd = line.keepOpen ? 0 : 1;
    std::string path = WithScriptExtension(line.scriptPath);
    std::string reason;
    if (!CanOpenForReading(path, &reason)) {
      if (message) *message = FormatString(kScriptCannotOpen, reason);
      return kScriptCannotOpen;
    }
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    out.scriptPath = ec ? path : absolute.lexically_normal().string();
    out.filePattern = line.shellCommand == 1 ? "*.*" : line.filePattern;
    out.listFile = line.listFile;
    out.logFile = line.logFile;
  }
  if (settings) *settings = out;
  return 0;
}

bool PrepareStart(const std::vector<std::string>& arguments, MessageService& messages,
                  StartSettings* settings, CommandLineRecord* record) {
  std::string message;
  int id = PrepareStart(arguments, record, settings, &message);
  if (id != 0) {
    messages.message(message, id == kScriptCannotOpen ? MessageIcon::Stop : MessageIcon::None);
  }
  return id == 0;
}

int DisplayDepth(int bitsPerPixelTimesPlanes) {
  return bitsPerPixelTimesPlanes > 8 ? 24 : bitsPerPixelTimesPlanes;
}

}  // namespace km
