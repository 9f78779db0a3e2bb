#pragma once

// The batch engine: every file of an input list is read, every script command runs on
// the image, and the result is written in the chosen output format into the output
// folder, each step recorded as a line of the run's log.
//
// The run talks to its surroundings through three interfaces, so the GUI's status
// window and the console runner drive the same run: a BatchObserver (status lines, log
// lines, title progress, the end of the run), a MessageService (the messages shown when
// the run interrupts for errors, and the abort and overwrite questions) and a Profile
// (the stored input preferences and output options, read once when the run starts).
//
// Threads. RunBatch runs on the thread that calls it; a window starts it on a worker
// with BatchThread (batch/BatchThread.h). Every observer and message-service call is
// made on that thread, the one running RunBatch, in the order of the run:
//  - observer calls report and must not block; a window forwards them to its UI
//    thread (queued signals) and returns;
//  - a message-service call is a question or a message the run waits on: it returns
//    only once answered (PostedMessageService in common/PostedMessages.h hands each to
//    the UI thread and blocks the worker until the window answers).
// RequestAbort and StopWithoutAsking may be called from any thread, and from a signal
// handler. The script, table, observer, message service and profile must outlive the
// run and stay unchanged while it runs; the profile is read when RunBatch starts and
// written once ("WMF_Prompt"), on the run's thread, so a window gives the run a
// profile object of its own. log() and outcome() are read once RunBatch has returned.
//
// Reading, commands and writing receive the observer's progress sink, so cancelling
// it stops the step in hand ("User pressed ESC. File skipped."). The abort request is
// a separate flag, looked at before each file, after reading and before each command;
// a sink whose cancelled() also reads abortRequested() makes "&Abort" stop the step in
// hand as well.
//
// Outputs are never half-written (batch/OutputFile.h).

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "batch/FileRecord.h"
#include "batch/Shard.h"
#include "common/MessageService.h"
#include "common/Profile.h"
#include "fileio/FileTypeTable.h"
#include "fileio/ReadImage.h"
#include "fileio/WriteImage.h"
#include "imaging/Dib.h"
#include "imaging/Progress.h"
#include "script/Script.h"

namespace km {

struct BatchSettings {
  std::string inputFolder = ".";  // folder of the listed names ("." when lines are paths)
  std::string outputFolder;       // created when it does not exist
  std::string listFile;           // one input name per line
  bool fullPathLines = false;     // each line is a complete path
  int inputTypeIndex = -1;        // file-type entry (0 = "All Files", -1 = none)
  int outputFormat = 0;           // OutputFormatIndex 1..27
  int subType = 0;
  bool showErrors = false;        // interrupt with a message for each error
  bool commandLineRun = false;
  bool minimise = false;          // the title shows the progress
  bool closeAtEnd = true;
  std::string logFile;            // command-line runs: the log is also saved here at the end
  bool temporaryList = false;     // the list was made by BuildFileList and is deleted at the end
  std::string scriptPath;         // for the title
  std::string currentLogPath;     // rewritten after every file; CurrentLogPath() when empty
  // The ceiling on the run's image buffers (imaging/MemoryCeiling.h); 0: the setting
  // "General"/"MemoryLimit", and without one the default share.
  std::uint64_t memoryLimit = 0;
  // For this run only, whatever the stored "AutoOrient" and "KeepMetadata" say.
  bool noAutoOrient = false;      // photographs stay as stored
  bool stripMetadata = false;     // outputs carry a photograph's ICC profile only
  // Only this part of the list is converted (batch/Shard.h); the palette pass of
  // command 519 still reads the whole list, so every part gets the same palette.
  ShardSpec shard;
  // A file whose output exists and is newer than the input is left alone and logged
  // as skipped (batch/SkipExisting.h).
  bool skipExisting = false;
};

// How a run ended.
struct BatchOutcome {
  bool listOpened = false;  // false: the list file could not be read
  bool aborted = false;     // the user stopped the run
  int total = 0;            // lines of the list
  int converted = 0;        // files written
  int failed = 0;           // files read but not written, or not read
  int skipped = 0;          // files left alone because their output was current
};

// What the status window shows. Called on the thread running RunBatch (see above);
// every method has a do-nothing default.
class BatchObserver {
public:
  virtual ~BatchObserver() = default;
  virtual void statusLine1(const std::string& /*text*/) {}
  virtual void statusLine2(const std::string& /*text*/) {}
  // A line was added to the log (the window appends it and scrolls to it).
  virtual void logLineAdded(const std::string& /*line*/) {}
  // The last log line grew (the colour count of the palette pass is appended to it).
  virtual void logLineChanged(const std::string& /*line*/) {}
  // The main window's title while minimised ("job.rsq - Processing File 2 of 9");
  // empty restores the normal title. Only for runs with the minimise flag.
  virtual void title(const std::string& /*text*/) {}
  // The main window's status-bar text ("Running Batch Process" ...).
  virtual void mainStatus(const std::string& /*text*/) {}
  // File `number` of `total` starts (scanning: the palette pass).
  virtual void fileStarted(int /*number*/, int /*total*/, bool /*scanning*/) {}
  // Script line `index` (0-based) is about to run on the current image.
  virtual void commandStarting(int /*index*/) {}
  // The user answered No to the abort question: the request is cleared and the run
  // goes on with the same file.
  virtual void abortCleared() {}
  // The sink reading, commands and writing report to (may be null). Its report() and
  // cancelled() are called on the run's thread.
  virtual ProgressWindow progress() { return nullptr; }
  // An output is being written (writing true): `paths` are every file that may exist
  // until that write ends. writing false: the write has ended and none of them is left
  // (each was removed or renamed). A front end that can be killed mid-write removes
  // them then.
  virtual void temporaryOutput(const std::vector<std::string>& /*paths*/, bool /*writing*/) {}
  // The run has ended (after the last file, an abort or a failed palette pass): OK
  // and "&Save Log..." become usable. RunBatch returns soon after.
  virtual void runFinished(const BatchOutcome& /*outcome*/) {}
  // A listed file is done (converted, failed, skipped, or the one in hand when the run
  // was stopped), in list order; files the run never reached have no record.
  virtual void fileFinished(const FileRecord& /*record*/) {}
};

class BatchRun {
public:
  BatchRun(const CScript& script, BatchSettings settings, Profile& profile, BatchObserver& observer,
           MessageService& messages, const FileTypeTable& types);

  // The whole run, on the calling thread. 1 when the run reached its end, 0 when the
  // list file cannot be opened (nothing else happens then).
  int RunBatch();

  // "&Abort" was pressed: at its next check point the run asks "Are you sure you want
  // to abort processing?"; Yes ends the run, No clears the request. Any thread.
  void RequestAbort() noexcept { abort_.store(true); }
  // Ends the run at its next check point without asking (a window that is closing).
  // Any thread.
  void StopWithoutAsking() noexcept {
    stopWithoutAsking_.store(true);
    abort_.store(true);
  }
  // Any thread.
  bool abortRequested() const noexcept { return abort_.load(); }

  // The optimum palette of command 519 gathered over every listed file. True on success.
  bool PaletteScanPass(RgbQuad* palette, int* count, int includeWindows, int algorithm, int colors);

  // Read after RunBatch has returned.
  const std::vector<std::string>& log() const { return log_; }
  const BatchOutcome& outcome() const { return outcome_; }

private:
  bool AbortCheck();
  void Log(const std::string& line);
  void SaveCurrentLog();
  void AppendToLastLine(const std::string& text);
  void TitleProgress(int a, int b);
  void ReportReadFailure(int code);
  // Keeps the first problem of the file in hand for its record.
  void NoteProblem(int code, const std::string& line);
  std::string InputPath(const std::string& line) const;
  // Steps a to h for one listed file; true when it got as far as writing (or trying to).
  bool ConvertOne(const std::string& line, int number, const RgbQuad* palette, int paletteCount);
  // Depth check and write; counts the file.
  void WriteOutput(const std::string& outputPath, const ReadResult& read, const Dib* image);
  int WriteAtomically(const std::string& outputPath, const Dib* image, const ReadResult& read, int transparentValue);

  static_assert(std::atomic<bool>::is_always_lock_free, "the abort flag is set from signal handlers");

  const CScript& script_;
  BatchSettings settings_;
  Profile& profile_;
  BatchObserver& observer_;
  MessageService& messages_;
  const FileTypeTable& types_;
  InputPreferences input_;  // read from the profile when the run starts
  OutputOptions output_;    // the same, with the settings' format and sub-type
  std::atomic<bool> abort_{false};
  std::atomic<bool> stopWithoutAsking_{false};
  std::vector<std::string> listed_;  // the whole list file
  std::vector<std::string> lines_;   // the files this run converts (its shard)
  FileRecord record_;                // of the file in hand
  std::vector<std::string> log_;
  std::size_t currentLogLines_ = 0;  // lines of log_ already in CURRENT.LOG
  std::string lastTitle_;
  bool scanning_ = false;
  bool aborted_ = false;
  BatchOutcome outcome_;
};

// The title while minimised: the script's file name + " - " + "Processing File a of b"
// ("Scanning File ..." while scanning), or "Finished (a files converted)" when b is -1.
std::string TitleProgressText(const std::string& scriptPath, int a, int b, bool scanning);

}  // namespace km
