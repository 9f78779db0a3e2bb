// Building the file-type table's import-filter slots from the registration files.

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/ProgramFile.h"
#include "common/Settings.h"
#include "common/UserFolders.h"
#include "fileio/filters/FilterCall.h"
#include "fileio/filters/ImportFilters.h"
#include "fileio/filters/IniFile.h"

namespace km {

namespace {

namespace fs = std::filesystem;

constexpr char kRegistrationFile[] = "ImportFilters.ini";

std::string Trim(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) {
    return {};
  }
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string Upper(std::string s) {
  for (char& c : s) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return s;
}

struct Registration {
  std::string path, extension, options;
};

// "library path,extension[,options]"; the options are the rest of the line.
Registration Split(const std::string& value) {
  Registration r;
  const std::size_t first = value.find(',');
  r.path = Trim(value.substr(0, first));
  if (first != std::string::npos) {
    const std::size_t second = value.find(',', first + 1);
    r.extension = Upper(Trim(value.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1)));
    if (second != std::string::npos) {
      r.options = Trim(value.substr(second + 1));
    }
  }
  return r;
}

std::string Padded(std::string extension) {
  if (extension.size() < 3) {
    extension.resize(3, ' ');
  }
  return extension;
}

bool ExtensionTaken(const FileTypeTable& table, int slots, const std::string& extension) {
  for (int s = FileTypeTable::kFirstFilterSlot; s < slots; ++s) {
    if (Padded(table.slot(s).extension) == Padded(extension)) {
      return true;
    }
  }
  return false;
}

// "EXT - EXT: Name|*.EXT|", the extension padded with blanks to three characters in
// both places, "-*EXT:" for a filter that runs in the host program.
std::string EntryText(const std::string& extension, int kind, const std::string& name) {
  const std::string blanks(extension.size() < 3 ? 3 - extension.size() : 0, ' ');
  return extension + blanks + (kind == 0 ? " - EXT: " : " -*EXT: ") + name + "|*." + extension + blanks + "|";
}

}  // namespace

FileTypeTable BuildFileTypeTable(int flags, const std::string& section, const std::vector<std::string>& files,
                                 bool isolate) {
  FileTypeTable table;
  if ((flags & 1) == 0) {
    return table;
  }
  filters::IniEntries seen;
  int slot = FileTypeTable::kFirstFilterSlot;
  for (const std::string& file : files) {
    const fs::path folder = fs::path(file).parent_path();
    for (const auto& [name, value] : filters::ReadIniSection(file, section)) {
      if (slot >= FileTypeTable::kSlotCount) {
        return table;
      }
      if (!filters::IniValue(seen, name, {}).empty()) {
        continue;
      }
      seen.emplace_back(name, "1");
      Registration r = Split(value);
      if (r.path.size() < 3 || r.extension.empty() || ExtensionTaken(table, slot, r.extension)) {
        continue;
      }
      fs::path library(r.path);
      if (library.is_relative()) {
        library = (folder / library).lexically_normal();
      }
      std::error_code ec;
      if (!fs::is_regular_file(library, ec)) {
        continue;
      }
      ImportFilterSlot& s = table.slot(slot);
      s.libraryPath = library.string();
      s.options = r.options;
      s.name = name;
      s.extension = r.extension;
      s.kind = !isolate && filters::FilterLibraryLoads(s.libraryPath) ? 0 : 1;
      table.addEntry(EntryText(r.extension, s.kind, name), static_cast<ImageTypeCode>(kTypeFirstFilter + slot));
      ++slot;
    }
  }
  return table;
}

FileTypeTable LoadFileTypeTable(const Profile& profile) {
  using namespace settings;
  const int flags = profile.getInt(kImportFilters, kEnable, kEnableDefault) != 0 ? 1 : 0;
  const std::string section = profile.getString(kImportFilters, kINISection, kINISectionDefault);
  const bool isolate = profile.getInt(kImportFilters, kIsolate, kIsolateDefault) == 1;
  return BuildFileTypeTable(flags, section, {UserFilterRegistration(), InstalledFilterRegistration()}, isolate);
}

std::string UserFilterRegistration() {
  return (fs::path(UserBaseFolder("XDG_CONFIG_HOME", ".config")) / settings::kOrganisation / kRegistrationFile)
      .string();
}

std::string InstalledFilterRegistration() { return ProgramFilePath(kRegistrationFile); }

}  // namespace km
