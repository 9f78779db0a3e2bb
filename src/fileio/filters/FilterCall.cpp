#include "fileio/filters/FilterCall.h"

#include <dlfcn.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "kilnmark/ImportFilter.h"

namespace km::filters {

namespace {

class Library {
public:
  explicit Library(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
  ~Library() {
    if (handle_ != nullptr) {
      dlclose(handle_);
    }
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  template <typename F>
  F find(const char* name) const {
    return reinterpret_cast<F>(dlsym(handle_, name));
  }

private:
  void* handle_;
};

imgx::Code MapFilterResult(int r) {
  switch (r) {
    case 5307: case 5308: case 5314: return imgx::kFilterReadFailed;
    case 5310: case 5319: case 5355: return imgx::kCancelled;
    default: return static_cast<imgx::Code>(r);
  }
}

// The file record: the path starts 10 bytes in and runs as long as it needs.
std::vector<std::byte> FileRecord(const std::string& path) {
  static_assert(offsetof(KmImportFile, fullName) == 10);
  std::vector<std::byte> block(offsetof(KmImportFile, fullName) + path.size() + 1);
  std::memcpy(block.data() + offsetof(KmImportFile, fullName), path.c_str(), path.size() + 1);
  return block;
}

}  // namespace

imgx::Code CallImportFilter(const std::string& library, const std::string& options, const std::string& path,
                            int prompt, FilterPicture* out) {
  *out = FilterPicture{};
  const Library lib(library);
  const auto getInfo = lib.loaded() ? lib.find<KmGetFilterInfo>("GetFilterInfo") : nullptr;
  if (getInfo == nullptr) {
    return imgx::kNoImportFilter;
  }
  KmFilterMemory preferences = nullptr, fileTypes = nullptr;
  const int version = getInfo(KM_FILTER_INTERFACE_VERSION, options.c_str(), &preferences, &fileTypes);
  const std::unique_ptr<void, FreeBlock> ownPreferences(preferences), ownFileTypes(fileTypes);
  if (version != KM_FILTER_INTERFACE_VERSION) {
    return imgx::kFilterVersion;
  }
  if (prompt == 1) {
    if (const auto getPref = lib.find<KmGetFilterPref>("GetFilterPref")) {
      getPref(nullptr, nullptr, preferences, 0);
    }
  }
  auto import = lib.find<KmImportGr>("ImportGr");
  if (import == nullptr) {
    import = lib.find<KmImportGr>("ImportGR");
  }
  if (import == nullptr) {
    return imgx::kFilterNoPicture;
  }
  std::vector<std::byte> record = FileRecord(path);
  KmPictInfo picture{};
  const int r = import(nullptr, reinterpret_cast<const KmImportFile*>(record.data()), &picture, preferences);
  std::unique_ptr<std::uint8_t, FreeBlock> metafile(static_cast<std::uint8_t*>(picture.metafile));
  if (r != 0) {
    return MapFilterResult(r);
  }
  if (metafile == nullptr || picture.metafileSize == 0) {
    return imgx::kFilterNoPicture;
  }
  out->metafile = std::move(metafile);
  out->size = picture.metafileSize;
  out->left = picture.left;
  out->top = picture.top;
  out->right = picture.right;
  out->bottom = picture.bottom;
  out->inch = picture.inch;
  return imgx::kOk;
}

bool FilterLibraryLoads(const std::string& library) { return Library(library).loaded(); }

}  // namespace km::filters
