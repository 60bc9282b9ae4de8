// Control of the libftdi1 stand-in the open driver's tests load in place of libftdi1.so.2. The stand-in
// hands everything a device would get to the simulated adapter (libftd2xx-sim.so), so the MPSSE bytes
// the driver sends reach the simulated master chip and encoder.
#ifndef TARNBUS_TEST_FTDI_STANDIN_H
#define TARNBUS_TEST_FTDI_STANDIN_H

#ifdef __cplusplus
extern "C" {
#endif

#define STANDIN_EXPORT __attribute__((visibility("default")))

/* From now on the named libftdi1 function answers result without reaching the device; 0 lets it
 * through again. */
STANDIN_EXPORT void ftdi_standin_force(const char *function, int result);
/* Nothing forced, counts at 0. */
STANDIN_EXPORT void ftdi_standin_reset(void);
/* Devices opened with ftdi_usb_open_dev since the last reset. */
STANDIN_EXPORT int ftdi_standin_opens(void);
/* Contexts made with ftdi_new and not yet freed. */
STANDIN_EXPORT int ftdi_standin_live_contexts(void);

#ifdef __cplusplus
}
#endif

#endif
