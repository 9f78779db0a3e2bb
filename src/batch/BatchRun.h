#pragma once

// The batch run: every file of an input list is read, every script command runs on the
// image, and the result is written in the chosen output format into the output
// folder, each step recorded as a line of the run's log.
//
// The run talks to its surroundings through three interfaces, so the GUI's status
// window and the console runner drive the same run: a BatchObserver (status lines, log
// lines, title progress, the abort button), a MessageService (the messages shown when
// the run interrupts for errors, and the abort and overwrite questions) and a Profile
// (the output settings). Reading, commands and writing receive the observer's progress
// sink, so cancelling it stops the step in hand.
//
// Outputs are never half-written: each is written to a temporary name in the output
// folder and renamed over the target when complete; a failed or cancelled write leaves
// the previous file, if any, untouched and no temporary file behind.

#include <cstdint>
#include <string>
#include <vector>

#include "common/MessageService.h"
#include "common/Profile.h"
#include "fileio/FileTypeTable.h"
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
};

// What the status window shows. Every method has a do-nothing default.
class BatchObserver {
public:
  virtual ~BatchObserver() = default;
  virtual void statusLine1(const std::string& /*text*/) {}
  virtual void statusLine2(const std::string& /*text*/) {}
  virtual void logLineAdded(const std::string& /*line*/) {}
  // The last log line grew (the colour count of the palette pass is appended to it).
  virtual void logLineChanged(const std::string& /*line*/) {}
  // The main window's title while minimised; empty restores the normal title.
  virtual void title(const std::string& /*text*/) {}
  // The main window's status-bar text ("Running Batch Process" ...).
  virtual void mainStatus(const std::string& /*text*/) {}
  // File `number` of `total` starts (scanning: the palette pass).
  virtual void fileStarted(int /*number*/, int /*total*/, bool /*scanning*/) {}
  // Script line `index` (0-based) is about to run on the current image.
  virtual void commandStarting(int /*index*/) {}
  // Lets the interface breathe between steps.
  virtual void pumpEvents() {}
  // The "&Abort" button: set by the user, cleared when the user answers No.
  virtual bool abortRequested() { return false; }
  virtual void clearAbortRequest() {}
  // The sink reading, commands and writing report to (may be null).
  virtual ProgressWindow progress() { return nullptr; }
  // An output is being written to the temporary file `path` (writing true), or that
  // write has ended and the file is gone or renamed (writing false). A front end that
  // can be killed mid-write removes the file then.
  virtual void temporaryOutput(const std::string& /*path*/, bool /*writing*/) {}
  // The run has ended: OK and "&Save Log..." become usable.
  virtual void runFinished() {}
};

// How the last run ended, for the console runner's exit status.
struct BatchOutcome {
  bool listOpened = false;  // false: the list file could not be read
  bool aborted = false;     // the user stopped the run
  int total = 0;            // lines of the list
  int converted = 0;        // files written
  int failed = 0;           // files read but not written, or not read
};

class BatchRun {
public:
  BatchRun(const CScript& script, BatchSettings settings, Profile& profile, BatchObserver& observer,
           MessageService& messages, const FileTypeTable& types);

  // 1 when the run reached its end, 0 when the list file cannot be opened.
  int RunBatch();

  // The optimum palette of command 519 gathered over every listed file. True on success.
  bool PaletteScanPass(RgbQuad* palette, int* count, int includeWindows, int algorithm, int colors);

  const std::vector<std::string>& log() const { return log_; }
  const BatchOutcome& outcome() const { return outcome_; }

private:
  bool AbortCheck();
  void Log(const std::string& line);
  void SaveCurrentLog();
  void AppendToLastLine(const std::string& text);
  void TitleProgress(int a, int b);
  void ReportReadFailure(int code);
  // Steps a to h for one listed file; true when it got as far as writing (or trying to).
  bool ConvertOne(const std::string& line, int number, const RgbQuad* palette, int paletteCount);
  int WriteAtomically(const std::string& outputPath, const Dib* image, const imgx::ImageExtra* extra,
                      int transparentValue);
  // Renames a complete temporary output over the target, or removes it after a failure.
  int FinishTemporary(const std::string& temp, const std::string& outputPath, int code);

  const CScript& script_;
  BatchSettings settings_;
  Profile& profile_;
  BatchObserver& observer_;
  MessageService& messages_;
  const FileTypeTable& types_;
  std::vector<std::string> lines_;
  std::vector<std::string> log_;
  std::size_t currentLogLines_ = 0;  // lines of log_ already in CURRENT.LOG
  std::string lastTitle_;
  bool scanning_ = false;
  bool aborted_ = false;
  BatchOutcome outcome_;
};

// The input names of a list file: lines end at line feeds or NUL bytes, carriage
// returns are ignored, and the first empty line ends the list. False when the file
// cannot be read.
bool ReadListFile(const std::string& path, std::vector<std::string>* lines);

// Writes every log line followed by CR LF, replacing the file. False with the system's
// description of the failure in *reason.
bool SaveLogFile(const std::string& path, const std::vector<std::string>& lines, std::string* reason);

// Where CURRENT.LOG lives: $XDG_STATE_HOME/kilnmark/CURRENT.LOG, by default under
// ~/.local/state. The folder is created when missing.
std::string CurrentLogPath();

// The title while minimised: the script's file name + " - " + "Processing File a of b"
// ("Scanning File ..." while scanning), or "Finished (a files converted)" when b is -1.
std::string TitleProgressText(const std::string& scriptPath, int a, int b, bool scanning);

// Writes a temporary list file (in the system's temporary folder, name prefix "TMP")
// of the files found: in `folder` matching `pattern` when a folder is given, else the
// pattern itself. Hidden files and folders are left out; names are sorted. With
// `names` not empty, the names are written as given instead. False, with message 2019
// shown, when the file cannot be created.
bool BuildFileList(std::string* listPath, const std::string& pattern, const std::string& folder,
                   const std::string& names, MessageService& messages);

// What a command-line run was given.
struct CommandLineInput {
  std::string scriptPath;
  std::string fileSpec;  // pattern or single file; empty when a list file is given
  std::string listFile;
  std::string logFile;
  bool showErrors = false;
  bool minimise = false;
  bool keepOpen = false;
};

// The command-line start: refuses a script without "Set Output Options" (2086), copies
// that command's fields into the run settings and the "ScriptRun" settings, and makes
// the input list from the pattern or takes the named list file. 0 and *settings ready
// to run, or the negative string id of the message already shown (-2086, -5000 for
// neither pattern nor list, -2019 for a list that cannot be made).
int PrepareCommandLineRun(const CScript& script, const CommandLineInput& input, Profile& profile,
                          MessageService& messages, BatchSettings* settings);

}  // namespace km
