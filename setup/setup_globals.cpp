// Definitions of the setup program's globals.
#include "setup_globals.h"

char g_moduleDir[kModuleDirSize];
char g_driverDir[kSetupPathSize];
char g_systemFilePattern[kSetupPathSize];
