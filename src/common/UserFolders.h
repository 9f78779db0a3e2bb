#pragma once

#include <string>

namespace km {

// The user's base folder that the XDG variable `variable` names (XDG_CONFIG_HOME,
// XDG_STATE_HOME, XDG_DATA_HOME): its value when that is an absolute path (relative
// values are ignored, as the XDG rules say), else `underHome` inside $HOME, or inside
// /tmp when HOME is unset or empty. The folder is not created.
std::string UserBaseFolder(const char* variable, const char* underHome);

}  // namespace km
