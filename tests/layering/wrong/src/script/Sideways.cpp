// The script model reaching across to its sibling.
#include "imaging/Dib.h"
