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
// made on that thread, the one running RunBatch, in the order of the run (the two
// exceptions of a run with several workers are under "Several files at once"):
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
//
// Several files at once (BatchSettings::jobs above 1). The palette pass of command 519
// still reads every file once, in turn, before any conversion. Then each worker
// thread takes the next file of the list, with an image, a copy of the palette, its
// own caches and its share of the memory ceiling, so at most `jobs` images are decoded
// at a time. Files that share a path keep their order (batch/FileOrder.h). A file's
// log lines are kept until every earlier file's lines are out, then written as one
// block, so the log, CURRENT.LOG and the observer's lines are those of a run that
// converts one file at a time. The run's thread reports each file as it starts
// (fileStarted, status line 1, "Reading File", the title), its lines and its record as
// its block goes out; per-command reports (commandStarting, "Executing Script
// Line...") are left out. The abort question is asked on the run's thread: no more
// files are handed out, each worker ends the step in hand and waits at its next check
// point for the answer; Yes drops the files in hand (nothing of them is written) and
// logs "User abort. Processing halted." after their lines, No lets them go on. The two
// calls made on the workers' threads: the progress sink's cancelled() (report() is not
// called), and temporaryOutput, one call at a time, naming the files of every write in
// progress. A run that stops for errors (showErrors) asks its questions one file at a
// time, and "Add Noise" (550) draws from one sequence file after file, so such runs
// convert one file at a time whatever `jobs` says.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/MessageService.h"
#include "common/Profile.h"
#include "batch/FileResult.h"
#include "batch/Shard.h"
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
  // Files converted at once (0: one per usable core, batch/JobCount.h). Ignored, one at
  // a time, when showErrors is set or the script adds noise (see above).
  int jobs = 1;
  // Only this part of the list is converted (batch/Shard.h); the palette pass of
  // command 519 still reads the whole list, so every part gets the same palette.
  ShardPart shard;
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
  // With several workers: called from the worker whose write starts or ends, one call
  // at a time, `paths` naming the files of every write then in progress (writing false
  // once none is left).
  virtual void temporaryOutput(const std::vector<std::string>& /*paths*/, bool /*writing*/) {}
  // A listed file has ended (converted, failed, left alone or stopped by an abort),
  // right after its log lines; in list order, once for every file the run started.
  virtual void fileFinished(const FileResult& /*result*/) {}
  // The run has ended (after the last file, an abort or a failed palette pass): OK
  // and "&Save Log..." become usable. RunBatch returns soon after.
  virtual void runFinished(const BatchOutcome& /*outcome*/) {}
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

  ~BatchRun();
  BatchRun(const BatchRun&) = delete;
  BatchRun& operator=(const BatchRun&) = delete;

private:
  // One file in hand: its record, and where its reports go. A worker's file keeps its
  // lines for the in-order block; a one-at-a-time run writes them as they come.
  struct FileJob {
    FileResult result;
    ProgressWindow progress = nullptr;
    bool buffered = false;
    bool reachedEnd = false;  // got as far as writing (or trying to)
  };
  struct Workers;  // the shared state of several workers (BatchWorkers.cpp)

  bool AbortCheck();
  // The abort question and its answer, without the log line; true: stop.
  bool ConfirmAbort();
  void Log(const std::string& line);
  void SaveCurrentLog();
  void AppendToLastLine(const std::string& text);
  void TitleProgress(int a, int b);
  // The log line for a failed read (after the library's message when showing errors).
  std::string ReadFailureText(int code);
  std::string InputPath(const std::string& line) const;
  std::string OutputPath(const std::string& line) const;
  // Steps a to h for one listed file, timed.
  void ConvertOne(FileJob& job, const std::string& line, int number, const RgbQuad* palette, int paletteCount);
  void ConvertSteps(FileJob& job, const RgbQuad* palette, int paletteCount);
  // File `number` starts: the observer's file, status lines and title.
  void ReportFileStart(int number);
  // The sink a step of the file reports to.
  ProgressWindow StepSink(const FileJob& job) { return job.buffered ? job.progress : observer_.progress(); }
  void FileLog(FileJob& job, const std::string& line);
  // The file's status; the code and line become its first problem unless it has one.
  void EndFileWith(FileJob& job, FileStatus status, int code, const std::string& message);
  static void NoteProblem(FileJob& job, int code, const std::string& line);
  bool FileAbortCheck(FileJob& job);
  // Depth check and write.
  void WriteOutput(FileJob& job, const ReadResult& read, const Dib* image);
  int WriteAtomically(FileJob& job, const Dib* image, const ReadResult& read, int transparentValue);
  void NoteTemporary(const std::vector<std::string>& files, bool writing);
  void NoteWorkerTemporary(const std::vector<std::string>& files, bool writing);
  // A file's end reaches the run: counted, CURRENT.LOG saved, the record reported.
  void FileEnded(const FileJob& job);
  // Steps 4a to 4h for every listed file, one at a time or with `workers` threads.
  void ConvertInTurn(const RgbQuad* palette, int paletteCount);
  void ConvertAtOnce(int workers, const RgbQuad* palette, int paletteCount, std::uint64_t ceiling);
  void WorkerLoop(const RgbQuad* palette, int paletteCount, std::uint64_t ceiling);
  // A worker's check point: waits while the abort question is open; true: stop.
  bool WorkerStop();
  // The run's thread while workers convert: reports starts, writes finished blocks in
  // list order and asks the abort question, until every worker has ended.
  void CoordinateWorkers();

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
  std::vector<std::string> log_;
  std::size_t currentLogLines_ = 0;  // lines of log_ already in CURRENT.LOG
  std::string lastTitle_;
  bool scanning_ = false;
  bool aborted_ = false;
  BatchOutcome outcome_;
  std::unique_ptr<Workers> workers_;  // only while several workers convert
};

// The title while minimised: the script's file name + " - " + "Processing File a of b"
// ("Scanning File ..." while scanning), or "Finished (a files converted)" when b is -1.
std::string TitleProgressText(const std::string& scriptPath, int a, int b, bool scanning);

}  // namespace km
