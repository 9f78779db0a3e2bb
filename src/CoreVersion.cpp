#include "CoreVersion.h"

namespace km {

const char* CoreVersion() { return KILNMARK_VERSION; }

}  // namespace km
