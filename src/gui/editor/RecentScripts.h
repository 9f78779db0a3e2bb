#pragma once

// The recent-script list of the Script menu: at most four paths, the newest first, kept
// in the profile's section "Recent File List" as "File1" ... "File4".

#include <string>
#include <vector>

#include "common/Profile.h"

namespace km::gui {

class RecentScripts {
public:
  RecentScripts(Profile& profile, int size);

  const std::vector<std::string>& entries() const { return entries_; }

  // Puts `path` first; an equal entry further down moves up instead of being repeated,
  // and the oldest entry falls off beyond the list's size. Written to the profile.
  void add(const std::string& path);

  // Takes out entry `index` (0-based); nothing happens when it is out of range.
  void remove(int index);

private:
  void save();

  Profile& profile_;
  int size_;
  std::vector<std::string> entries_;
};

}  // namespace km::gui
