#pragma once

// Topic numbers of the user manual. OpenHelpTopic (InfoDialogs.h) opens the manual at
// the anchor "topic-<number>"; 0 is its contents. The script Open and Save As dialogs
// use 300 and 301; the editor window and the dialogs use the numbers of their own
// templates, so every Help button has its own section.

namespace km::gui::help {

inline constexpr int kContents = 0;
inline constexpr int kAbout = 100;
inline constexpr int kEditor = 102;
inline constexpr int kInputPreferences = 108;
inline constexpr int kOpenScript = 300;
inline constexpr int kSaveScript = 301;
inline constexpr int kParameters = 400;       // the parameter dialogs of the commands
inline constexpr int kBatchInput = 500;       // "Batch Process Input Files"
inline constexpr int kBatchOutput = 501;      // "Batch Process Output Options"
inline constexpr int kOutputOptions = 502;    // "Set Output Options" and its format settings
inline constexpr int kBatchStatus = 503;      // the status window and the log
inline constexpr int kColourChooser = 600;
inline constexpr int kFolderChooser = 30756;
inline constexpr int kPreviewChooser = 30765;

// Every topic the manual holds an anchor for, contents first.
inline constexpr int kAllTopics[] = {kContents,    kAbout,       kEditor,         kInputPreferences,
                                     kOpenScript,  kSaveScript,  kParameters,     kBatchInput,
                                     kBatchOutput, kOutputOptions, kBatchStatus,  kColourChooser,
                                     kFolderChooser, kPreviewChooser};

}  // namespace km::gui::help
