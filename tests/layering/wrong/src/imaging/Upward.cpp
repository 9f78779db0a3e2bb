// An image operation reaching up into the dispatcher.
#include "commands/ErrorText.h"
