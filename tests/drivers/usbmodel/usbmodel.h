/*
 * Control of the USB model of the FTDI adapter: a libusb-1.0.so.0 of the tests' own, under which
 * Debian's libftdi1 runs unchanged. The model presents one FT2232H, FT4232H or FT232H at high or full
 * speed; the bytes its interface A receives go to the simulated adapter's MPSSE engine and master chip
 * (libftd2xx-sim.so), and the answers come back the way the chip sends them: two modem-status bytes
 * at the start of every packet, held until a packet fills, the latency timer expires or a
 * send-immediate (0x87) was taken. Time is the model's own clock, advanced by the transfers.
 *
 * The environment sets the state a reset returns to, for programs the tests start:
 *   USBMODEL_CHIP    FT2232H (default), FT4232H or FT232H
 *   USBMODEL_SPEED   high (default) or full (64-byte packets)
 *   USBMODEL_FAULTS  a comma-separated list of fault names (see below), each optionally "=arg"
 *   USBMODEL_LOCKDIR a folder where claims are recorded, so that processes share one adapter
 *   USBMODEL_LOG     a file the request log is appended to
 * Single-threaded, like the simulator.
 */
#ifndef TARNBUS_TEST_USBMODEL_H
#define TARNBUS_TEST_USBMODEL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define USBMODEL_EXPORT __attribute__((visibility("default")))

typedef enum usbmodel_fault {
    USBMODEL_UNPLUGGED = 0, /* "unplugged": gone after arg more bulk packets (0: at once); from then on
                               every call on it gives LIBUSB_ERROR_NO_DEVICE */
    USBMODEL_BUSY,          /* "busy": another program holds the interfaces; claiming gives
                               LIBUSB_ERROR_BUSY */
    USBMODEL_STALL,         /* "stall": the bulk endpoints are halted; transfers give LIBUSB_ERROR_PIPE */
    USBMODEL_SHORT_PACKETS, /* "short": every packet carries at most arg data bytes (at least 1) */
    USBMODEL_SILENT,        /* "silent": after arg more data bytes the chip sends nothing at all, not even
                               its status: bulk IN transfers time out with what arrived */
    USBMODEL_OUT_TIMEOUT,   /* "out_timeout": bulk OUT takes arg bytes, then the transfer times out */
    USBMODEL_BITMODE_FAILS, /* "bitmode": the bit-mode request is refused (stall) */
    USBMODEL_FAULT_COUNT
} usbmodel_fault;

/* Back to the state the environment describes: adapter plugged in, nothing claimed, clock at 0, log
 * and counters cleared. The simulated world behind it is reset on its own (tbsim_reset...). */
USBMODEL_EXPORT void usbmodel_reset(void);
/* The chip on the bus from the next enumeration: "FT2232H", "FT4232H" or "FT232H"; full_speed 1 for
 * 64-byte packets. 0, or -1 for an unknown chip. */
USBMODEL_EXPORT int usbmodel_set_chip(const char *chip, int full_speed);
USBMODEL_EXPORT void usbmodel_set_fault(usbmodel_fault fault, int on, uint32_t arg);
/* Strings the chip reports instead of those of the simulated adapter's EEPROM; null keeps one. */
USBMODEL_EXPORT void usbmodel_set_strings(const char *manufacturer, const char *product, const char *serial);

/* The model's clock in microseconds. */
USBMODEL_EXPORT uint64_t usbmodel_clock_us(void);

typedef struct usbmodel_counters {
    uint64_t control;             /* control transfers */
    uint64_t bulk_out, bulk_in;   /* bulk transfers, synchronous or submitted */
    uint64_t packets_in;          /* packets the chip sent on bulk IN, status-only ones included */
    uint64_t bytes_out, bytes_in; /* bytes taken by bulk OUT; data bytes (status excluded) sent IN */
    uint64_t claims;              /* successful interface claims */
    int64_t live_contexts, open_handles;
} usbmodel_counters;
USBMODEL_EXPORT void usbmodel_get_counters(usbmodel_counters *out);

/* The request log: one line per control request, claim and release, e.g. "SET_LATENCY_TIMER 2 A",
 * "SET_BITMODE mask 0x00 mode 0x02 A", "claim 0", "refused request 0x0b A". */
USBMODEL_EXPORT size_t usbmodel_log_count(void);
USBMODEL_EXPORT const char *usbmodel_log_get(size_t index);

#ifdef __cplusplus
}
#endif

#endif
