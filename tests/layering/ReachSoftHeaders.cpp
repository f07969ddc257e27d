// Compiled with the include directories of each of the module's targets, and
// expected to fail there: the substitute's own headers are for the software
// device, the hosts and the tests only.
#include <soft/SoftDeviceControl.h>
