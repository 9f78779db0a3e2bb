// The script model reaching across to its sibling.
#include "fileio/ReadImage.h"
