// The two entry points of a filter that has no preferences and registers no file types
// of its own (its registration line names them): linked into each shipped filter.

#include "kilnmark/ImportFilter.h"

extern "C" {

KM_FILTER_EXPORT int GetFilterInfo(int16_t version, const char* /*options*/, KmFilterMemory* preferences,
                                   KmFilterMemory* fileTypes) {
  *preferences = nullptr;
  *fileTypes = nullptr;
  return version == KM_FILTER_INTERFACE_VERSION ? KM_FILTER_INTERFACE_VERSION : 0;
}

KM_FILTER_EXPORT void GetFilterPref(void* /*instance*/, void* /*window*/, KmFilterMemory /*preferences*/,
                                    uint16_t /*flags*/) {}

}  // extern "C"
