/* The port I/O driver's two functions, as tarnbus calls them: one byte written to or read from an I/O
 * port address. Both the driver loader and the project's port libraries (the simulated port, the
 * Linux ppdev one) build against this one declaration. */
#ifndef TARNBUS_DLPORTIO_H
#define TARNBUS_DLPORTIO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define DLPORT_WINAPI __stdcall
#else
#define DLPORT_WINAPI
#endif

typedef void(DLPORT_WINAPI *DlPortWritePortUchar_t)(uint32_t ulPort, uint8_t ucValue);
typedef uint8_t(DLPORT_WINAPI *DlPortReadPortUchar_t)(uint32_t ulPort);

#ifdef __cplusplus
}
#endif

#endif
