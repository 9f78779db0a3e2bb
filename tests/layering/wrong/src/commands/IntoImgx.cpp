// The dispatcher reaching into the format library.
#include "fileio/imgx/Codes.h"
