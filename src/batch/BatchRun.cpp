#include "batch/BatchRun.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "StringTable.h"
#include "commands/Dispatcher.h"
#include "commands/ErrorText.h"
#include "common/SystemError.h"
#include "fileio/ReadImage.h"
#include "fileio/WriteImage.h"
#include "imaging/palette/Palette.h"

namespace km {

namespace fs = std::filesystem;

namespace {

// String ids of the run's texts.
enum : int {
  kTextTempListFailed = 2019,
  kTextOverwriteQuestion = 2024,
  kTextBatchComplete = 2025,
  kTextExecuting = 2027,
  kTextScriptComplete = 2028,
  kTextAbortQuestion = 2029,
  kTextRunning = 2053,
  kTextRunComplete = 2054,
  kTextGathering = 2055,
  kTextGenerating = 2057,
  kTextColorsFound = 2058,
  kTextProcessingFile = 2070,
  kTextReadingFile = 2071,
  kTextExecutingLine = 2072,
  kTextWritingFile = 2073,
  kTextProcessingComplete = 2074,
  kTextScanningFile = 2078,
  kTextScanning = 2083,
  kTextGeneratingOptimum = 2084,
  kTextNoOutputOptions = 2086,
  kTextFinished = 2087,
  kTextReading = 1522,
  kTextSaving = 1523,
  kTextNotConverted = 1524,
  kTextUnknownFormat = 1525,
  kTextUserAbort = 1527,
  kTextEscSkipped = 1529,
  kTextNotOverwriting = 1530,
  kTextOverwriting = 1531,
  kTextConvertedCount = 1536,
};

std::string NamePart(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) {
    return name;
  }
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

// A name in the output folder that no other run uses: hidden, unique to this process
// and file, and ending in the output's extension (encoders name companion files after
// it). It does not repeat the output's name, so an output name that just fits the
// system's limit still has a temporary name that fits.
std::string TemporaryOutputName(const std::string& outputPath) {
  static std::atomic<unsigned> counter{0};
  const auto slash = outputPath.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : outputPath.substr(0, slash + 1);
  const std::string name = NamePart(outputPath);
  const auto dot = name.find_last_of('.');
  const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
  return folder + ".kilnmark-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + extension;
}

// Files an encoder writes beside its image (the CUT palette), named after the image.
std::vector<std::string> CompanionFiles(const std::string& imagePath) {
  std::vector<std::string> files;
  const auto dot = imagePath.find_last_of('.');
  const auto slash = imagePath.find_last_of('/');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    const std::string stem = imagePath.substr(0, dot);
    for (const char* ext : {".pal", ".PAL"}) {
      files.push_back(stem + ext);
    }
  }
  return files;
}

}  // namespace

bool ReadListFile(const std::string& path, std::vector<std::string>* lines) {
  lines->clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  std::string current;
  char c = 0;
  while (in.get(c)) {
    if (c == '\r') {
      continue;
    }
    if (c == '\n' || c == '\0') {
      if (current.empty()) {
        return true;  // the first empty line ends the list
      }
      lines->push_back(current);
      current.clear();
      continue;
    }
    current.push_back(c);
  }
  if (in.bad()) {
    lines->clear();
    return false;
  }
  if (!current.empty()) {
    lines->push_back(current);
  }
  return true;
}

bool SaveLogFile(const std::string& path, const std::vector<std::string>& lines, std::string* reason) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    if (reason != nullptr) {
      *reason = SystemErrorText(errno);
    }
    return false;
  }
  bool ok = true;
  for (const std::string& line : lines) {
    ok = ok && std::fwrite(line.data(), 1, line.size(), f) == line.size() && std::fwrite("\r\n", 1, 2, f) == 2;
  }
  const int err = errno;
  ok = std::fclose(f) == 0 && ok;
  if (!ok && reason != nullptr) {
    *reason = SystemErrorText(err);
  }
  return ok;
}

std::string CurrentLogPath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  fs::path base;
  if (state != nullptr && state[0] == '/') {
    base = state;
  } else {
    const char* home = std::getenv("HOME");
    base = fs::path(home != nullptr ? home : "/tmp") / ".local" / "state";
  }
  const fs::path folder = base / "kilnmark";
  std::error_code ec;
  fs::create_directories(folder, ec);
  return (folder / "CURRENT.LOG").string();
}

std::string TitleProgressText(const std::string& scriptPath, int a, int b, bool scanning) {
  std::string text = NamePart(scriptPath) + " - ";
  if (b == -1) {
    return text + FormatString(kTextFinished, a);
  }
  return text + FormatString(scanning ? kTextScanningFile : kTextProcessingFile, a, b);
}

bool BuildFileList(std::string* listPath, const std::string& pattern, const std::string& folder,
                   const std::string& names, MessageService& messages) {
  const fs::path temp = fs::temp_directory_path();
  std::string templ = (temp / "TMPXXXXXX").string();
  const int fd = ::mkstemp(templ.data());
  if (fd < 0) {
    messages.message(LoadString(kTextTempListFailed), MessageIcon::Exclamation);
    return false;
  }
  std::string content;
  if (!names.empty()) {
    content = names;
  } else {
    std::string searchFolder = folder;
    std::string searchPattern = pattern;
    if (folder.empty()) {
      const auto slash = pattern.find_last_of('/');
      searchFolder = slash == std::string::npos ? "." : (slash == 0 ? "/" : pattern.substr(0, slash));
      searchPattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    }
    if (searchPattern.empty() || searchPattern == "*.*") {
      searchPattern = "*";  // every file, with or without a dot
    }
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(searchFolder, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      std::error_code typeError;
      if (name.empty() || name[0] == '.' || !it->is_regular_file(typeError)) {
        continue;
      }
      if (::fnmatch(searchPattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) {
        found.push_back(name);
      }
    }
    std::sort(found.begin(), found.end());
    const std::string prefix = folder.empty() && pattern.find('/') != std::string::npos ? searchFolder : "";
    for (const std::string& name : found) {
      content += (prefix.empty() ? name : JoinPath(prefix, name)) + "\n";
    }
  }
  const bool written = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    std::remove(templ.c_str());
    messages.message(LoadString(kTextTempListFailed), MessageIcon::Exclamation);
    return false;
  }
  *listPath = templ;
  return true;
}

BatchRun::BatchRun(const CScript& script, BatchSettings settings, Profile& profile, BatchObserver& observer,
                   MessageService& messages, const FileTypeTable& types)
    : script_(script),
      settings_(std::move(settings)),
      profile_(profile),
      observer_(observer),
      messages_(messages),
      types_(types) {
  if (settings_.currentLogPath.empty()) {
    settings_.currentLogPath = CurrentLogPath();
  }
}

void BatchRun::Log(const std::string& line) {
  log_.push_back(line);
  observer_.logLineAdded(line);
}

void BatchRun::AppendToLastLine(const std::string& text) {
  if (log_.empty()) {
    Log(text);
    return;
  }
  log_.back() += text;
  currentLogLines_ = std::min(currentLogLines_, log_.size() - 1);
  observer_.logLineChanged(log_.back());
}

void BatchRun::TitleProgress(int a, int b) {
  if (!settings_.minimise) {
    return;
  }
  const std::string text = a == -2 && b == -2 ? std::string() : TitleProgressText(settings_.scriptPath, a, b, scanning_);
  if (text != lastTitle_) {
    lastTitle_ = text;
    observer_.title(text);
  }
}

bool BatchRun::AbortCheck() {
  if (aborted_) {
    return true;
  }
  if (!observer_.abortRequested()) {
    return false;
  }
  if (messages_.askYesNo(LoadString(kTextAbortQuestion), MessageIcon::Question)) {
    aborted_ = true;
    outcome_.aborted = true;
    Log(LoadString(kTextUserAbort));
    return true;
  }
  observer_.clearAbortRequest();
  return false;
}

void BatchRun::ReportReadFailure(int code) {
  if (settings_.showErrors) {
    ShowLibraryError(code, messages_);
  }
  if (code == imgx::kCancelled) {
    Log(LoadString(kTextEscSkipped));
  } else if (code == imgx::kUnrecognised) {
    Log(LoadString(kTextUnknownFormat));
  } else {
    Log(LoadString(kTextNotConverted));
  }
}

bool BatchRun::PaletteScanPass(RgbQuad* palette, int* count, int includeWindows, int algorithm, int colors) {
  scanning_ = true;
  OptPaletteGatherer gatherer;
  const bool windows = includeWindows == 1;
  if (gatherer.OptPaletteStart(algorithm != 0 ? kOctree : kMedianCut, OptimumColorRequest(colors, windows), 8) !=
      kOk) {
    scanning_ = false;
    return false;
  }
  const int total = static_cast<int>(lines_.size());
  for (int i = 0; i < total; ++i) {
    if (AbortCheck()) {
      scanning_ = false;
      return false;
    }
    const std::string& line = lines_[static_cast<std::size_t>(i)];
    const std::string input = settings_.fullPathLines ? line : JoinPath(settings_.inputFolder, line);
    observer_.fileStarted(i + 1, total, true);
    observer_.statusLine1(FormatString(kTextScanningFile, i + 1, total));
    observer_.statusLine2(LoadString(kTextGeneratingOptimum));
    Log(LoadString(kTextScanning) + input);
    TitleProgress(i + 1, total);
    DibHandle image;
    ImageTypeCode type = 0;
    std::int16_t transparent = -1;
    const int code = ReadImageFile(observer_.progress(), types_, profile_, &image, input, settings_.inputTypeIndex,
                                   &type, &transparent, nullptr);
    if (code != 0 || !image) {
      ReportReadFailure(code != 0 ? code : imgx::kCorrupt);
      continue;
    }
    const OpResult added = gatherer.OptPaletteAddDIB(image.get());
    if (added != kOk) {
      Log(ErrorText(LowCode(added)));
    }
    observer_.pumpEvents();
  }
  Log(LoadString(kTextGenerating));
  std::fill(palette, palette + kPaletteEntries, RgbQuad{});
  *count = gatherer.OptPaletteFinish(palette, windows);
  AppendToLastLine(FormatString(kTextColorsFound, *count));
  scanning_ = false;
  return true;
}

int BatchRun::WriteAtomically(const std::string& outputPath, const Dib* image, const imgx::ImageExtra* extra,
                              int transparentValue) {
  const std::string temp = TemporaryOutputName(outputPath);
  const int grey = IsDIBGreyScaled(image) ? 1 : 0;
  observer_.temporaryOutput(temp, true);
  const int code = WriteImageFile(observer_.progress(), profile_, temp, image, extra, settings_.outputFormat,
                                  settings_.subType, grey, transparentValue);
  const int result = FinishTemporary(temp, outputPath, code);
  observer_.temporaryOutput(temp, false);
  return result;
}

int BatchRun::FinishTemporary(const std::string& temp, const std::string& outputPath, int code) {
  const auto tempCompanions = CompanionFiles(temp);
  const auto finalCompanions = CompanionFiles(outputPath);
  std::error_code ec;
  if (code != 0 || !Exists(temp)) {
    fs::remove(temp, ec);
    for (const auto& c : tempCompanions) {
      fs::remove(c, ec);
    }
    // A format or sub-type outside the lists writes nothing and still answers 0.
    return code;
  }
  fs::rename(temp, outputPath, ec);
  if (ec) {
    fs::remove(temp, ec);
    for (const auto& c : tempCompanions) {
      fs::remove(c, ec);
    }
    return imgx::kWriteError;
  }
  for (std::size_t i = 0; i < tempCompanions.size(); ++i) {
    if (Exists(tempCompanions[i])) {
      fs::rename(tempCompanions[i], finalCompanions[i], ec);
    }
  }
  return 0;
}

bool BatchRun::ConvertOne(const std::string& line, int number, const RgbQuad* palette, int paletteCount) {
  const int total = static_cast<int>(lines_.size());
  const std::string input = settings_.fullPathLines ? line : JoinPath(settings_.inputFolder, line);
  const std::string output = ReplaceExtension(JoinPath(settings_.outputFolder, NamePart(line)), settings_.outputFormat);

  observer_.fileStarted(number, total, false);
  observer_.statusLine1(FormatString(kTextProcessingFile, number, total));
  observer_.statusLine2(LoadString(kTextReadingFile));
  Log(LoadString(kTextReading) + input);
  TitleProgress(number, total);

  DibHandle image;
  imgx::ExtraHandle extra;
  ImageTypeCode type = 0;
  std::int16_t transparent = -1;
  const int readCode = ReadImageFile(observer_.progress(), types_, profile_, &image, input, settings_.inputTypeIndex,
                                     &type, &transparent, &extra);
  if (readCode != 0 || !image) {
    ReportReadFailure(readCode != 0 ? readCode : imgx::kCorrupt);
    ++outcome_.failed;
    return false;
  }
  // The reader's transparent index goes to the writer as it is (-1: none).
  const int transparentValue = transparent < 0 ? -1 : transparent;

  if (AbortCheck()) {
    return false;
  }
  Log(LoadString(kTextExecuting));
  const int count = script_.GetCount();
  for (int i = 0; i < count; ++i) {
    observer_.commandStarting(i);
    observer_.pumpEvents();
    if (AbortCheck()) {
      return false;
    }
    observer_.statusLine2(FormatString(kTextExecutingLine, i + 1, count));
    DibHandle made;
    const int code = DoCommand(script_, i, image.get(), &made, observer_.progress(), palette, paletteCount);
    if (code == 0) {
      if (made) {
        image = std::move(made);
      }
    } else {
      const std::string text = ScriptLineErrorText(i + 1, code);
      Log(text);
      if (settings_.showErrors) {
        messages_.message(text, MessageIcon::Stop);
      }
    }
    observer_.pumpEvents();
  }

  Log(LoadString(kTextScriptComplete));
  observer_.statusLine2(LoadString(kTextWritingFile));
  Log(LoadString(kTextSaving) + output);

  if (Exists(output)) {
    // The input itself is never overwritten, whatever the overwrite rule says.
    std::error_code ec;
    if (fs::equivalent(input, output, ec)) {
      Log(LoadString(kTextNotOverwriting));
      ++outcome_.failed;
      return false;
    }
    if (settings_.showErrors &&
        !messages_.askYesNo(FormatString(kTextOverwriteQuestion, output), MessageIcon::Question)) {
      Log(LoadString(kTextNotOverwriting));
      ++outcome_.failed;
      return false;
    }
    Log(LoadString(kTextOverwriting));
  }

  const int depthMessage = CheckOutputDepth(settings_.outputFormat, settings_.subType, image.get());
  if (depthMessage != 0) {
    Log(ErrorText(-depthMessage, settings_.showErrors, messages_));
    ++outcome_.failed;
    return true;
  }
  const int writeCode = WriteAtomically(output, image.get(), extra.get(), transparentValue);
  if (writeCode == 0) {
    ++outcome_.converted;
  } else if (writeCode == imgx::kCancelled) {
    Log(LoadString(kTextEscSkipped));
    ++outcome_.failed;
  } else {
    Log(ErrorText(writeCode, settings_.showErrors, messages_));
    ++outcome_.failed;
  }
  return true;
}

// CURRENT.LOG holds the whole log after every file that got as far as writing. Lines
// already in the file never change after the palette pass, so only the new ones are
// appended: a long run writes its log once, not once per file.
void BatchRun::SaveCurrentLog() {
  std::string reason;
  if (currentLogLines_ == 0 || currentLogLines_ > log_.size()) {
    currentLogLines_ = SaveLogFile(settings_.currentLogPath, log_, &reason) ? log_.size() : 0;
    return;
  }
  std::FILE* f = std::fopen(settings_.currentLogPath.c_str(), "ab");
  bool ok = f != nullptr;
  for (std::size_t i = currentLogLines_; ok && i < log_.size(); ++i) {
    ok = std::fwrite(log_[i].data(), 1, log_[i].size(), f) == log_[i].size() && std::fwrite("\r\n", 1, 2, f) == 2;
  }
  ok = (f != nullptr && std::fclose(f) == 0) && ok;
  // After a failed append the next save rewrites the whole file.
  currentLogLines_ = ok ? log_.size() : 0;
}

int BatchRun::RunBatch() {
  outcome_ = BatchOutcome{};
  currentLogLines_ = 0;
  aborted_ = false;
  observer_.mainStatus(LoadString(kTextRunning));

  if (!ReadListFile(settings_.listFile, &lines_)) {
    if (!settings_.commandLineRun) {
      std::remove(settings_.listFile.c_str());
    }
    messages_.message(LoadString(kTextTempListFailed), MessageIcon::Exclamation);
    observer_.mainStatus(std::string());
    return 0;
  }
  outcome_.listOpened = true;
  outcome_.total = static_cast<int>(lines_.size());

  std::array<RgbQuad, kPaletteEntries> palette{};
  int paletteCount = 0;
  bool scanned = true;
  if (const CScriptCommand* optimum = script_.FindCode(kApplyOptimizedPalette)) {
    Log(LoadString(kTextGathering));
    scanned = PaletteScanPass(palette.data(), &paletteCount, optimum->Int2, optimum->Int5, optimum->Int1);
  }

  if (scanned) {
    profile_.setInt("Format", "WMF_Prompt", 1);
    std::error_code ec;
    fs::create_directories(settings_.outputFolder, ec);
    for (int i = 0; i < outcome_.total; ++i) {
      if (AbortCheck()) {
        break;
      }
      const bool reachedEnd = ConvertOne(lines_[static_cast<std::size_t>(i)], i + 1, palette.data(), paletteCount);
      if (aborted_) {
        break;
      }
      if (reachedEnd) {
        SaveCurrentLog();
      }
      observer_.pumpEvents();
    }
  }

  if (settings_.commandLineRun && settings_.temporaryList) {
    std::remove(settings_.listFile.c_str());
  }
  observer_.statusLine1(LoadString(kTextProcessingComplete));
  observer_.statusLine2(std::string());
  Log(LoadString(kTextBatchComplete));
  Log(std::to_string(outcome_.converted) + LoadString(kTextConvertedCount));
  TitleProgress(outcome_.converted, -1);
  if (settings_.commandLineRun && !settings_.logFile.empty()) {
    std::string reason;
    if (!SaveLogFile(settings_.logFile, log_, &reason)) {
      messages_.message(FormatString(2065, reason), MessageIcon::Stop);
    }
  }
  observer_.mainStatus(LoadString(kTextRunComplete));
  observer_.runFinished();
  TitleProgress(-2, -2);
  return 1;
}

int PrepareCommandLineRun(const CScript& script, const CommandLineInput& input, Profile& profile,
                          MessageService& messages, BatchSettings* settings) {
  const CScriptCommand* options = script.FindCode(kSetOutputOptions);
  if (options == nullptr) {
    messages.message(LoadString(kTextNoOutputOptions), MessageIcon::Stop);
    return -kTextNoOutputOptions;
  }
  BatchSettings s;
  s.commandLineRun = true;
  s.inputTypeIndex = -1;
  s.outputFolder = options->Text1;
  s.outputFormat = options->Int1 + 1;
  s.subType = options->Int2;
  s.showErrors = input.showErrors;
  s.minimise = input.minimise;
  s.closeAtEnd = !input.keepOpen;
  s.logFile = input.logFile;
  s.scriptPath = input.scriptPath;
  profile.setInt("ScriptRun", "OutDPI", options->Int3);
  profile.setInt("ScriptRun", "OutCompression", options->Int4);
  profile.setInt("ScriptRun", "OutTransType", (options->Int5 >> 8) & 0xFF);
  profile.setInt("ScriptRun", "OutTransIndex", options->Int5 & 0xFF);
  profile.setInt("ScriptRun", "OutTransColor", static_cast<int>(options->Color1));

  if (!input.fileSpec.empty()) {
    const auto slash = input.fileSpec.find_last_of('/');
    std::string folder;
    std::string pattern = input.fileSpec;
    if (slash != std::string::npos) {
      folder = slash == 0 ? "/" : input.fileSpec.substr(0, slash);
      pattern = input.fileSpec.substr(slash + 1);
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
    ShowLibraryError(101, messages);
    return kErrBadArgument;
  }
  *settings = std::move(s);
  return 0;
}

}  // namespace km
