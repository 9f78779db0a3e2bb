#include "app/CommandLineRun.h"

#include "StringTable.h"
#include "batch/ListFile.h"
#include "commands/Dispatcher.h"
#include "commands/ErrorText.h"
#include "fileio/IoSettings.h"
#include "script/CommandCodes.h"

namespace km {

namespace {

constexpr int kTextTempListFailed = 2019;
constexpr int kTextNoOutputOptions = 2086;

}  // namespace

OutputOptions OutputOptionsFromCommand(const CScriptCommand& command) {
  OutputOptions o;
  o.format = command.Int1 + 1;
  o.subType = command.Int2;
  o.dpi = command.Int3;
  o.compression = command.Int4;
  o.transparencyType = (command.Int5 >> 8) & 0xFF;
  o.transparentIndex = command.Int5 & 0xFF;
  o.transparentColor = command.Color1;
  return o;
}

int PrepareCommandLineRun(const CScript& script, const CommandLineInput& input, Profile& profile,
                          MessageService& messages, BatchSettings* settings) {
  const CScriptCommand* command = script.FindCode(kSetOutputOptions);
  if (command == nullptr) {
    messages.message(LoadString(kTextNoOutputOptions), MessageIcon::Stop);
    return -kTextNoOutputOptions;
  }
  const OutputOptions options = OutputOptionsFromCommand(*command);
  BatchSettings s;
  s.commandLineRun = true;
  s.inputTypeIndex = -1;
  s.outputFolder = command->Text1;
  s.outputFormat = options.format;
  s.subType = options.subType;
  s.showErrors = input.showErrors;
  s.minimise = input.minimise;
  s.closeAtEnd = !input.keepOpen;
  s.logFile = input.logFile;
  s.scriptPath = input.scriptPath;
  SaveOutputOptions(profile, options);

  if (!input.filePattern.empty()) {
    const auto slash = input.filePattern.find_last_of('/');
    std::string folder;
    std::string pattern = input.filePattern;
    if (slash != std::string::npos) {
      folder = slash == 0 ? "/" : input.filePattern.substr(0, slash);
      pattern = input.filePattern.substr(slash + 1);
      s.inputFolder = folder;
      s.fullPathLines = false;
    } else {
      s.inputFolder = ".";
      s.fullPathLines = true;
    }
    // A name without wildcards names that one file (a missing one is then logged as
    // not converted rather than silently matching nothing).
    const bool wildcard = pattern.find_first_of("*?") != std::string::npos;
    const std::string names = wildcard || pattern.empty() ? std::string() : pattern + "\n";
    if (!BuildFileList(&s.listFile, pattern, folder.empty() ? "." : folder, names, messages)) {
      return -kTextTempListFailed;
    }
    s.temporaryList = true;
  } else if (!input.listFile.empty()) {
    s.listFile = input.listFile;
    s.fullPathLines = true;
    s.inputFolder = ".";
  } else {
    // The library's own message for code 101, as for any failed library call.
    ShowLibraryError(kInvalidArgument, messages);
    return kErrBadArgument;
  }
  *settings = std::move(s);
  return 0;
}

}  // namespace km
