/* Kilnmark import filters: the interface between the program and a filter library.
 *
 * A filter is a shared object that reads one kind of file into a Windows metafile. The
 * program finds it through its registration (a line "Display Name=library path,EXT[,options]"
 * in the section "MS Graphic Import Filters" of ImportFilters.ini), loads it with
 * dlopen(RTLD_NOW | RTLD_LOCAL) for one file, or has kilnmark-filter-host do so in a
 * separate process, and calls three entry points by name with the C calling convention:
 *
 *   GetFilterInfo   first, once per file; must return KM_FILTER_INTERFACE_VERSION (2).
 *   GetFilterPref   only when the program asks for the filter's own options (never in a
 *                   batch run); optional.
 *   ImportGr        reads the file ("ImportGR" is looked up when "ImportGr" is missing);
 *                   returns 0 and a metafile, or a result code.
 *
 * Memory: every block a filter hands over (preferences, file types, metafile) is
 * allocated with malloc(); the program releases it with free(). The library is unloaded
 * after each file, so a filter keeps no state between files; one built on libraries
 * that cannot be loaded a second time (GObject types, as librsvg registers) links with
 * -Wl,-z,nodelete and so stays loaded.
 *
 * Result codes of ImportGr, as the program reports them: 0 success; 5301 (and 5307,
 * 5308, 5314) the file cannot be read; 100 (and 5310, 5319, 5355) the user stopped it;
 * 102 out of memory; 201 the file cannot be opened; 304 the picture is too large. Any
 * other code reaches the user unchanged.
 */
#ifndef KILNMARK_IMPORT_FILTER_H
#define KILNMARK_IMPORT_FILTER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KM_FILTER_INTERFACE_VERSION 2

/* Filters build with -fvisibility=hidden and mark their three entry points with this. */
#define KM_FILTER_EXPORT __attribute__((visibility("default")))

/* A block allocated with malloc(), owned by whoever the call says. */
typedef void* KmFilterMemory;

/* The file to read. The path is NUL-terminated and starts 10 bytes into the record; the
 * record is as long as the path needs. */
typedef struct KmImportFile {
  uint16_t flags;       /* 0 */
  uint16_t reserved[4]; /* 0 */
  char fullName[];      /* the file's path */
} KmImportFile;

/* What ImportGr fills in; zeroed by the program before the call. */
typedef struct KmPictInfo {
  KmFilterMemory metafile; /* a Windows metafile in memory (a plain one: metafile header,
                              records, end record; a placeable one is accepted too) */
  uint32_t metafileSize;   /* its length in bytes */
  int32_t left, top, right, bottom; /* the picture's bounds in the metafile's logical units */
  int32_t inch;            /* logical units per inch (96: one unit per pixel) */
} KmPictInfo;

/* version: 2. options: the registration's option string ("" when none).
 * *preferences and *fileTypes: blocks the filter may allocate (or leave null); the program
 * frees both. Returns the interface version the filter speaks. */
typedef int (*KmGetFilterInfo)(int16_t version, const char* options, KmFilterMemory* preferences,
                               KmFilterMemory* fileTypes);

/* instance, window: null on this platform. preferences: the block from GetFilterInfo.
 * flags: 0. */
typedef void (*KmGetFilterPref)(void* instance, void* window, KmFilterMemory preferences, uint16_t flags);

/* deviceContext: null on this platform. Returns 0 and fills picture, or a result code. */
typedef int (*KmImportGr)(void* deviceContext, const KmImportFile* file, KmPictInfo* picture,
                          KmFilterMemory preferences);

#ifdef __cplusplus
}
#endif

#endif /* KILNMARK_IMPORT_FILTER_H */
