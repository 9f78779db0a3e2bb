// Allowed: fileio uses its own library and the layers below.
#include "fileio/imgx/Codes.h"
#include "imaging/Dib.h"
#include "common/Profile.h"
