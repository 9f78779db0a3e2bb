#include "gui/editor/RecentScripts.h"

#include <algorithm>

namespace km::gui {
namespace {

constexpr char kSection[] = "Recent File List";

std::string EntryKey(int i) { return "File" + std::to_string(i + 1); }

}  // namespace

RecentScripts::RecentScripts(Profile& profile, int size) : profile_(profile), size_(size) {
  for (int i = 0; i < size_; ++i) {
    std::string path = profile_.getString(kSection, EntryKey(i), std::string());
    if (!path.empty()) entries_.push_back(std::move(path));
  }
}

void RecentScripts::add(const std::string& path) {
  if (path.empty()) return;
  std::erase(entries_, path);
  entries_.insert(entries_.begin(), path);
  if (static_cast<int>(entries_.size()) > size_) entries_.resize(static_cast<std::size_t>(size_));
  save();
}

void RecentScripts::remove(int index) {
  if (index < 0 || index >= static_cast<int>(entries_.size())) return;
  entries_.erase(entries_.begin() + index);
  save();
}

void RecentScripts::save() {
  for (int i = 0; i < size_; ++i) {
    profile_.setString(kSection, EntryKey(i),
                       i < static_cast<int>(entries_.size()) ? entries_[static_cast<std::size_t>(i)] : std::string());
  }
}

}  // namespace km::gui
