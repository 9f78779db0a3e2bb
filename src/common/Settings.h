#pragma once

// Every settings section and value the program uses, with its default. Values are read
// through Profile with these defaults; a missing value reads as its default.
//
// A folder default of the original platform's "C:\" is the user's home folder here
// (DefaultFolder()).

#include <string>

namespace km::settings {

// Section "General" (editor and batch log).
inline constexpr char kGeneral[] = "General";
inline constexpr char kPreviewImage[] = "PreviewImage";  // string, default empty
inline constexpr char kScriptDir[] = "ScriptDir";        // string, default DefaultFolder()
inline constexpr char kLogDirectory[] = "LogDirectory";  // string, default DefaultFolder()
// The ceiling on a batch run's image memory: bytes, or a number with K, M or G; empty
// or "0" for half the physical memory shared among the running workers.
inline constexpr char kMemoryLimit[] = "MemoryLimit";
// Files a batch run started from the editor converts at once; 0 for one per processor
// the program may use.
inline constexpr char kJobs[] = "Jobs";
inline constexpr int kJobsDefault = 0;

// Section "BatchDialog" (batch input and output dialogs).
inline constexpr char kBatchDialog[] = "BatchDialog";
inline constexpr char kOpenDir[] = "OpenDir";                // string, DefaultFolder()
inline constexpr char kOpenIndex[] = "OpenIndex";            // int, 0
inline constexpr char kInterruptOnErr[] = "InterruptOnErr";  // int, 0
inline constexpr char kOutIndex[] = "OutIndex";              // int, 0
inline constexpr char kOutputDir[] = "OutputDir";            // string, DefaultFolder()
inline constexpr int kOpenIndexDefault = 0;
inline constexpr int kInterruptOnErrDefault = 0;
inline constexpr int kOutIndexDefault = 0;

// Section "BatchSubTypes": one integer per output format key, the last sub-type chosen.
inline constexpr char kBatchSubTypes[] = "BatchSubTypes";
inline constexpr const char* kSubTypeKeys[] = {"BMP", "DIB", "EPS", "GIF", "IFF", "JPG",
                                               "LBM", "MAC", "PBM", "PCX", "PNG", "PPM",
                                               "RLE", "TGA", "TIFF", "WPG"};

// Section "ScriptRun": the output settings in effect for a run.
inline constexpr char kScriptRun[] = "ScriptRun";
inline constexpr char kOutDPI[] = "OutDPI";
inline constexpr char kOutCompression[] = "OutCompression";
inline constexpr char kOutTransType[] = "OutTransType";
inline constexpr char kOutTransIndex[] = "OutTransIndex";
inline constexpr char kOutTransColor[] = "OutTransColor";
inline constexpr int kOutDPIDefault = 300;
inline constexpr int kOutCompressionDefault = 15;
inline constexpr int kOutTransTypeDefault = 0;
inline constexpr int kOutTransIndexDefault = -1;
inline constexpr int kOutTransColorDefault = 0;

// Section "Format": input preferences for metafiles, Photo CD images and photographs.
inline constexpr char kFormat[] = "Format";
inline constexpr char kWMFPrompt[] = "WMF_Prompt";
inline constexpr char kWMFWidth[] = "WMF_Width";
inline constexpr char kWMFHeight[] = "WMF_Height";
inline constexpr char kPCDLoadSize[] = "PCD_LoadSize";
inline constexpr int kWMFPromptDefault = 1;
inline constexpr int kWMFWidthDefault = 100;
inline constexpr int kWMFHeightDefault = 100;
inline constexpr int kPCDLoadSizeDefault = 2;
// Photographs: turned upright by their EXIF orientation when read (JPEG, PNG, TIFF),
// and their EXIF, XMP and IPTC carried to JPEG, PNG and TIFF outputs (the ICC profile
// is carried either way).
inline constexpr char kAutoOrient[] = "AutoOrient";
inline constexpr char kKeepMetadata[] = "KeepMetadata";
inline constexpr int kAutoOrientDefault = 1;
inline constexpr int kKeepMetadataDefault = 1;

// Section "ImportFilters".
inline constexpr char kImportFilters[] = "ImportFilters";
inline constexpr char kEnable[] = "Enable";
inline constexpr char kINISection[] = "INISection";
// 1: every import filter runs in the host program, none in this process.
inline constexpr char kIsolate[] = "Isolate";
inline constexpr int kEnableDefault = 1;
inline constexpr int kIsolateDefault = 0;
inline constexpr char kINISectionDefault[] = "MS Graphic Import Filters";

// Section "CustomColors": 16 colours of 4 bytes (0x00BBGGRR, little-endian), binary.
inline constexpr char kCustomColors[] = "CustomColors";
inline constexpr char kColorRefs[] = "ColorRefs";
inline constexpr int kColorRefsBytes = 64;

// The settings' organisation and application names.
inline constexpr char kOrganisation[] = "Tavo";
inline constexpr char kApplication[] = "Tavo Kilnmark";

// The default folder: $HOME, or "/" when it is not set.
std::string DefaultFolder();

}  // namespace km::settings
