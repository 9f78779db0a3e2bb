#pragma once

namespace km {

// The project version, "major.minor.patch", fixed at configure time.
const char* CoreVersion();

}  // namespace km
