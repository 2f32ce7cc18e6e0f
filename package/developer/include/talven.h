/* talven.h - TALVEN user-mode interface (demonstration package).
 *
 * The TALVEN kernel drivers (windrvr and talvenkp) are reached from applications through the
 * functions below, exported by talven.dll and linked through lib\talven.lib. In this
 * demonstration package the drivers are test drivers that only start and stop, and talven.dll
 * itself is not included: the header and the import library show where developer files go.
 */
#ifndef TALVEN_H
#define TALVEN_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TALVEN_VERSION_MAJOR 5
#define TALVEN_VERSION_MINOR 7

/* An open connection to the TALVEN kernel driver. */
typedef struct TALVEN_HANDLE_S* TALVEN_HANDLE;

/* Opens the driver; NULL when it is not installed or not running (GetLastError tells why). */
TALVEN_HANDLE WINAPI TalvenOpen(void);

/* Closes a handle from TalvenOpen. */
void WINAPI TalvenClose(TALVEN_HANDLE handle);

/* The running driver's version, major in the high word and minor in the low word. */
DWORD WINAPI TalvenGetVersion(TALVEN_HANDLE handle);

#ifdef __cplusplus
}
#endif

#endif /* TALVEN_H */
