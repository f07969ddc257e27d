// Compiled with the include directories of each host, and expected to fail
// there: the module's own utilities are not part of what a host may know.
#include "LogFile.h"
