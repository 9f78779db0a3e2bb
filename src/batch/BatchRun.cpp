#include "batch/SkipExisting.h"
#include "batch/BatchRun.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "StringTable.h"
#include "batch/BatchWorkers.h"
#include "batch/JobCount.h"
#include "batch/ListFile.h"
#include "batch/LogFile.h"
#include "batch/OutputFile.h"
#include "commands/Dispatcher.h"
#include "commands/ErrorText.h"
#include "common/Settings.h"
#include "fileio/IoSettings.h"
#include "fileio/UnnamedFile.h"
#include "imaging/MemoryCeiling.h"
#include "imaging/palette/Palette.h"
#include "script/CommandCodes.h"

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
  kTextFinished = 2087,
  kTextLogNotSaved = 2065,
  kTextReading = 1522,
  kTextSaving = 1523,
  kTextNotConverted = 1524,
  kTextUnknownFormat = 1525,
  kTextUserAbort = 1527,
  kTextSkippingCurrent = 2640,
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

}  // namespace

std::string TitleProgressText(const std::string& scriptPath, int a, int b, bool scanning) {
  std::string text = NamePart(scriptPath) + " - ";
  if (b == -1) {
    return text + FormatString(kTextFinished, a);
  }
  return text + FormatString(scanning ? kTextScanningFile : kTextProcessingFile, a, b);
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

std::string BatchRun::InputPath(const std::string& line) const {
  return settings_.fullPathLines ? line : JoinPath(settings_.inputFolder, line);
}

std::string BatchRun::OutputPath(const std::string& line) const {
  return ReplaceExtension(JoinPath(settings_.outputFolder, NamePart(line)), output_.format);
}

bool BatchRun::ConfirmAbort() {
  const bool stop = stopWithoutAsking_.load() ||
                    messages_.askYesNo(LoadString(kTextAbortQuestion), MessageIcon::Question) ||
                    stopWithoutAsking_.load();  // the window closed while the question was open
  if (stop) {
    aborted_ = true;
    outcome_.aborted = true;
    return true;
  }
  abort_.store(false);
  observer_.abortCleared();
  return false;
}

bool BatchRun::AbortCheck() {
  if (aborted_) {
    return true;
  }
  if (!abort_.load()) {
    return false;
  }
  if (ConfirmAbort()) {
    Log(LoadString(kTextUserAbort));
    return true;
  }
  return false;
}

std::string BatchRun::ReadFailureText(int code) {
  if (settings_.showErrors) {
    ShowLibraryError(code, messages_);
  }
  if (code == imgx::kCancelled) {
    return LoadString(kTextEscSkipped);
  }
  if (code == imgx::kUnrecognised) {
    return LoadString(kTextUnknownFormat);
  }
  return LoadString(kTextNotConverted);
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
  // Turning a picture does not change its colours; read as stored, the palette does not
  // depend on the orientation setting.
  InputPreferences scanInput = input_;
  scanInput.autoOrient = 0;
  const int total = static_cast<int>(listed_.size());
  for (int i = 0; i < total; ++i) {
    if (AbortCheck()) {
      scanning_ = false;
      return false;
    }
    const std::string input = InputPath(listed_[static_cast<std::size_t>(i)]);
    observer_.fileStarted(i + 1, total, true);
    observer_.statusLine1(FormatString(kTextScanningFile, i + 1, total));
    observer_.statusLine2(LoadString(kTextGeneratingOptimum));
    Log(LoadString(kTextScanning) + input);
    TitleProgress(i + 1, total);
    const ReadResult read = ReadImageFile(observer_.progress(), types_, scanInput, input, settings_.inputTypeIndex);
    if (read.code != 0 || !read.image) {
      Log(ReadFailureText(read.code != 0 ? read.code : imgx::kCorrupt));
      continue;
    }
    const OpResult added = gatherer.OptPaletteAddDIB(read.image.get());
    if (added != kOk) {
      Log(ErrorText(LowCode(added)));
    }
  }
  Log(LoadString(kTextGenerating));
  std::fill(palette, palette + kPaletteEntries, RgbQuad{});
  *count = gatherer.OptPaletteFinish(palette, windows);
  AppendToLastLine(FormatString(kTextColorsFound, *count));
  scanning_ = false;
  return true;
}

void BatchRun::NoteTemporary(const std::vector<std::string>& files, bool writing) {
  if (workers_) {
    NoteWorkerTemporary(files, writing);
  } else {
    observer_.temporaryOutput(files, writing);
  }
}

int BatchRun::WriteAtomically(FileJob& job, const Dib* image, const ReadResult& read, int transparentValue) {
  const std::string& outputPath = job.result.output;
  const std::string temp = TemporaryOutputName(outputPath);
  const std::vector<std::string> files = TemporaryFiles(temp);
  const int grey = IsDIBGreyScaled(image) ? 1 : 0;
  NoteTemporary(files, true);
  const int code =
      WriteImageFile(StepSink(job), output_, temp, image, read.extra.get(), grey, transparentValue, &read.metadata);
  const int result = FinishTemporary(temp, outputPath, code);
  NoteTemporary(files, false);
  return result;
}

void BatchRun::WriteOutput(FileJob& job, const ReadResult& read, const Dib* image) {
  // A "Set Output Options" command from a damaged or hand-made script can name a format
  // or sub-type that does not exist: nothing can be written, and the file is not counted.
  if (!IsOutputListed(output_.format, output_.subType)) {
    const std::string text = ErrorText(kInvalidArgument, settings_.showErrors, messages_);
    FileLog(job, text);
    EndFileWith(job, FileStatus::kFailed, kInvalidArgument, text);
    return;
  }
  const int depthMessage = CheckOutputDepth(output_.format, output_.subType, image);
  if (depthMessage != 0) {
    const std::string text = ErrorText(-depthMessage, settings_.showErrors, messages_);
    FileLog(job, text);
    EndFileWith(job, FileStatus::kFailed, -depthMessage, text);
    return;
  }
  // The reader's transparent index goes to the writer as it is (-1: none).
  const int transparentValue = read.transparentIndex < 0 ? -1 : read.transparentIndex;
  const int writeCode = WriteAtomically(job, image, read, transparentValue);
  if (writeCode == 0) {
    EndFileWith(job, FileStatus::kConverted, 0, std::string());
    return;
  }
  const std::string text = writeCode == imgx::kCancelled ? LoadString(kTextEscSkipped)
                                                         : ErrorText(writeCode, settings_.showErrors, messages_);
  FileLog(job, text);
  EndFileWith(job, FileStatus::kFailed, writeCode, text);
}

void BatchRun::FileLog(FileJob& job, const std::string& line) {
  job.result.lines.push_back(line);
  if (!job.buffered) {
    Log(line);
  }
}

void BatchRun::EndFileWith(FileJob& job, FileStatus status, int code, const std::string& message) {
  job.result.status = status;
  NoteProblem(job, code, message);
}

void BatchRun::NoteProblem(FileJob& job, int code, const std::string& line) {
  if (job.result.code == 0 && job.result.message.empty()) {
    job.result.code = code;
    job.result.message = line;
  }
}

bool BatchRun::FileAbortCheck(FileJob& job) { return job.buffered ? WorkerStop() : AbortCheck(); }

void BatchRun::ReportFileStart(int number) {
  const int total = static_cast<int>(lines_.size());
  observer_.fileStarted(number, total, false);
  observer_.statusLine1(FormatString(kTextProcessingFile, number, total));
  observer_.statusLine2(LoadString(kTextReadingFile));
}

void BatchRun::ConvertOne(FileJob& job, const std::string& line, int number, const RgbQuad* palette,
                          int paletteCount) {
  const auto started = std::chrono::steady_clock::now();
  job.result.number = number;
  job.result.input = InputPath(line);
  job.result.output = OutputPath(line);
  if (!job.buffered) {
    ReportFileStart(number);
  }
  if (settings_.skipExisting && OutputIsCurrent(job.result.input, job.result.output)) {
    FileLog(job, FormatString(kTextSkippingCurrent, job.result.input, job.result.output));
    job.result.status = FileStatus::kSkipped;
    return;
  }
  FileLog(job, LoadString(kTextReading) + job.result.input);
  if (!job.buffered) {
    TitleProgress(number, static_cast<int>(lines_.size()));
  }
  ConvertSteps(job, palette, paletteCount);
  job.result.milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
}

void BatchRun::ConvertSteps(FileJob& job, const RgbQuad* palette, int paletteCount) {
  const std::string& input = job.result.input;
  const std::string& output = job.result.output;
  ReadResult read = ReadImageFile(StepSink(job), types_, input_, input, settings_.inputTypeIndex);
  if (read.code != 0 || !read.image) {
    const int code = read.code != 0 ? read.code : imgx::kCorrupt;
    const std::string text = ReadFailureText(code);
    FileLog(job, text);
    EndFileWith(job, FileStatus::kFailed, code, text);
    return;
  }
  DibHandle image = std::move(read.image);

  if (FileAbortCheck(job)) {
    return;
  }
  FileLog(job, LoadString(kTextExecuting));
  const int count = script_.GetCount();
  for (int i = 0; i < count; ++i) {
    if (!job.buffered) {
      observer_.commandStarting(i);
    }
    if (FileAbortCheck(job)) {
      return;
    }
    if (!job.buffered) {
      observer_.statusLine2(FormatString(kTextExecutingLine, i + 1, count));
    }
    DibHandle made;
    const int code = DoCommand(script_, i, image.get(), &made, StepSink(job), palette, paletteCount);
    if (code == 0) {
      if (made) {
        image = std::move(made);
      }
    } else {
      const std::string text = ScriptLineErrorText(i + 1, code);
      FileLog(job, text);
      NoteProblem(job, code, text);
      if (settings_.showErrors) {
        messages_.message(text, MessageIcon::Stop);
      }
    }
  }

  FileLog(job, LoadString(kTextScriptComplete));
  if (!job.buffered) {
    observer_.statusLine2(LoadString(kTextWritingFile));
  }
  FileLog(job, LoadString(kTextSaving) + output);

  if (Exists(output)) {
    // The input itself is never overwritten, whatever the overwrite rule says.
    std::error_code ec;
    const bool same = fs::equivalent(input, output, ec);
    if (same || (settings_.showErrors &&
                 !messages_.askYesNo(FormatString(kTextOverwriteQuestion, output), MessageIcon::Question))) {
      const std::string text = LoadString(kTextNotOverwriting);
      FileLog(job, text);
      EndFileWith(job, FileStatus::kNotOverwritten, -kTextNotOverwriting, text);
      return;
    }
    FileLog(job, LoadString(kTextOverwriting));
  }

  job.reachedEnd = true;
  WriteOutput(job, read, image.get());
}

void BatchRun::FileEnded(const FileJob& job) {
  switch (job.result.status) {
    case FileStatus::kConverted: ++outcome_.converted; break;
    case FileStatus::kFailed:
    case FileStatus::kNotOverwritten: ++outcome_.failed; break;
    case FileStatus::kSkipped: ++outcome_.skipped; break;
    case FileStatus::kStopped: break;
  }
  if (job.reachedEnd) {
    SaveCurrentLog();
  }
  if (job.result.status == FileStatus::kStopped && job.result.code == 0 && job.result.message.empty()) {
    FileResult stopped = job.result;  // the abort is the file's first problem
    stopped.code = -kTextUserAbort;
    stopped.message = LoadString(kTextUserAbort);
    observer_.fileFinished(stopped);
    return;
  }
  observer_.fileFinished(job.result);
}

void BatchRun::ConvertInTurn(const RgbQuad* palette, int paletteCount) {
  for (int i = 0; i < outcome_.total; ++i) {
    if (AbortCheck()) {
      break;
    }
    FileJob job;
    ConvertOne(job, lines_[static_cast<std::size_t>(i)], i + 1, palette, paletteCount);
    FileEnded(job);
    if (aborted_) {
      break;
    }
  }
}

// CURRENT.LOG holds the whole log after every file that got as far as writing. Lines
// already in the file never change after the palette pass, so only the new ones are
// appended: a long run writes its log once, not once per file.
void BatchRun::SaveCurrentLog() {
  bool ok = false;
  if (currentLogLines_ == 0 || currentLogLines_ > log_.size()) {
    std::string reason;
    ok = SaveLogFile(settings_.currentLogPath, log_, &reason);
  } else {
    ok = AppendLogFile(settings_.currentLogPath, log_, currentLogLines_);
  }
  // After a failed save or append the next save rewrites the whole file.
  currentLogLines_ = ok ? log_.size() : 0;
}

int BatchRun::RunBatch() {
  outcome_ = BatchOutcome{};
  currentLogLines_ = 0;
  aborted_ = false;
  // The stored preferences and options as they are now hold for the whole run.
  input_ = LoadInputPreferences(profile_);
  output_ = LoadOutputOptions(profile_);
  output_.format = settings_.outputFormat;
  output_.subType = settings_.subType;
  std::uint64_t ceiling = settings_.memoryLimit;
  if (ceiling == 0 &&
      !ParseMemorySize(profile_.getString(settings::kGeneral, settings::kMemoryLimit, "0").c_str(), &ceiling)) {
    ceiling = 0;
  }
  const ScopedMemoryBudget budget(ceiling);
  if (settings_.noAutoOrient) {
    input_.autoOrient = 0;
  }
  if (settings_.stripMetadata) {
    output_.keepMetadata = 0;
  }
  observer_.mainStatus(LoadString(kTextRunning));

  if (!ReadListFile(settings_.listFile, &listed_)) {
    if (!settings_.commandLineRun) {
      std::remove(settings_.listFile.c_str());
    }
    messages_.message(LoadString(kTextTempListFailed), MessageIcon::Exclamation);
    observer_.mainStatus(std::string());
    observer_.runFinished(outcome_);
    return 0;
  }
  outcome_.listOpened = true;
  lines_ = SelectShard(listed_, settings_.shard);
  outcome_.total = static_cast<int>(lines_.size());

  std::array<RgbQuad, kPaletteEntries> palette{};
  int paletteCount = 0;
  bool scanned = true;
  if (const CScriptCommand* optimum = script_.FindCode(kApplyOptimizedPalette)) {
    Log(LoadString(kTextGathering));
    scanned = PaletteScanPass(palette.data(), &paletteCount, optimum->Int2, optimum->Int5, optimum->Int1);
  }

  if (scanned) {
    // Metafiles of the run are rendered at the stored size without asking.
    input_.metafilePrompt = 1;
    SaveMetafilePrompt(profile_, input_.metafilePrompt);
    std::error_code ec;
    fs::create_directories(settings_.outputFolder, ec);
    // Temporaries a killed run left behind.
    RemoveStaleTemporaries(settings_.outputFolder);
    // Questions come one file at a time, and "Add Noise" draws from the C library's one
    // sequence, file after file, so that a run can be repeated exactly.
    const bool inTurn = settings_.showErrors || script_.FindCode(kAddNoise) != nullptr;
    const int jobs = inTurn ? 1 : std::min(EffectiveJobs(settings_.jobs), outcome_.total);
    if (jobs > 1) {
      ConvertAtOnce(jobs, palette.data(), paletteCount, budget.budget().ceiling());
    } else {
      ConvertInTurn(palette.data(), paletteCount);
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
      messages_.message(FormatString(kTextLogNotSaved, reason), MessageIcon::Stop);
    }
  }
  observer_.mainStatus(LoadString(kTextRunComplete));
  observer_.runFinished(outcome_);
  TitleProgress(-2, -2);
  return 1;
}

}  // namespace km
