/*
 * Control interface of the simulated adapter, libftd2xx-sim.so.
 *
 * libftd2xx-sim.so is a D2XX-compatible driver library (FT_Open, FT_Write, ...) behind which sits a
 * simulated FTDI device in MPSSE mode, the BiSS master chip on its SPI link, and a BiSS line with up to
 * eight slaves, slave 0 being an encoder. It also exports the port I/O driver's two functions
 * (DlPortWritePortUchar, DlPortReadPortUchar) with a PC parallel port on which the same master chip
 * sits behind a port adapter. The library under test loads the same file by path (TARNBUS_FTD2XX,
 * TARNBUS_DLPORTIO), so a test that links this library and the library under test see one world.
 *
 * Everything is process-wide and single-threaded, like the library it serves. The world is torn down
 * at exit (or when the last loader unloads this file); calls that come later find no device: FT_Open
 * answers FT_DEVICE_NOT_FOUND, the other D2XX calls FT_INVALID_HANDLE, and these functions do nothing.
 */
#ifndef TARNBUS_SIM_H
#define TARNBUS_SIM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(TBSIM_BUILDING)
#define TBSIM_EXPORT __declspec(dllexport)
#else
#define TBSIM_EXPORT __declspec(dllimport)
#endif
#else
#define TBSIM_EXPORT __attribute__((visibility("default")))
#endif

/* Back to the scenario named by TARNBUS_SIM_SCENARIO, or the built-in default when it is not set:
 * fresh master and slaves, encoder RAM loaded from its EEPROM, every fault off, counters and logs
 * cleared, no device open. A scenario file that cannot be used is reported on stderr and in
 * tbsim_last_error(), and the adapter is absent (the built-in world with adapter_absent on). */
TBSIM_EXPORT void tbsim_reset(void);

/* Back to the built-in default scenario whatever the environment says. */
TBSIM_EXPORT void tbsim_reset_default(void);

/* Loads a scenario file (replaces the whole world as tbsim_reset does). 0 on success; -1 with a
 * message for tbsim_last_error() when the file cannot be read or holds an unknown key or bad value. */
TBSIM_EXPORT int tbsim_load_scenario(const char *path);
TBSIM_EXPORT const char *tbsim_last_error(void);

/* Faults, switched on and off while running. arg is used where the fault says so. */
typedef enum tbsim_fault {
    TBSIM_ADAPTER_ABSENT = 0,        /* FT_Open finds no device (FT_DEVICE_NOT_FOUND) */
    TBSIM_ADAPTER_UNPLUGGED = 1,     /* every call on an open device fails with FT_IO_ERROR */
    TBSIM_MASTER_SILENT = 2,         /* the master chip ignores every frame; data in reads 0xFF */
    TBSIM_INSTRUCTION_NOT_TAKEN = 3, /* instructions stay in the instruction register, nothing runs */
    TBSIM_NO_EOT = 4,                /* end of transmission never comes (the master stays busy) */
    TBSIM_ENCODER_ABSENT = 5,        /* slave 0 does not answer on the BiSS line */
    TBSIM_ENCODER_REPLACED = 6,      /* another encoder (other serial number) sits at slave 0 */
    TBSIM_SHORT_TRANSFER = 7,        /* register transfers break off after arg registers */
    TBSIM_SHORT_DEVICE_READ = 8,     /* FT_Read delivers at most arg bytes per call, status FT_OK */
    TBSIM_DEVICE_WRITE_FAILS = 9,    /* after arg more successful FT_Write calls, FT_Write fails
                                         with FT_IO_ERROR and writes nothing */
    TBSIM_SHORT_DEVICE_WRITE = 10,   /* FT_Write takes one byte less than asked, status FT_OK */
    TBSIM_EEPROM_READ_FAILS = 11,    /* FT_EE_Read answers FT_EEPROM_READ_FAILED */
    TBSIM_DEVICE_READ_FAILS = 12,    /* after arg more successful FT_Read calls, one FT_Read fails with
                                         FT_IO_ERROR and leaves the waiting answer in the receive
                                         queue; then the fault goes off */
    TBSIM_LATE_DEVICE_READ = 13,     /* after arg more successful FT_Read calls, one FT_Read finds
                                         nothing (FT_OK, no bytes, as at the read time-out): the answer
                                         waiting arrives only with the next FT_Write, after any purge in
                                         between; then the fault goes off */
    /* The encoder's register-mode-C control channel: */
    TBSIM_CONTROL_START_DELAY = 14, /* its start bit comes arg cycles late */
    TBSIM_CONTROL_BAD_CRC = 15,     /* a register it reads out goes with a wrong CRC */
    TBSIM_CONTROL_CDS_FLIP = 16,    /* its CDS bit of frame cycle arg (0 = the start bit) is inverted */
    TBSIM_CONTROL_NEVER_READY = 17, /* it never gets ready for a frame */
    TBSIM_CONTROL_FOREIGN_ID = 18,  /* it answers to slave id arg instead of its own */
    TBSIM_MASTER_BUSY = 19,         /* every master job (start-up, register transfer) takes at least
                                        arg milliseconds from its start before it ends */
    TBSIM_CRC_ERROR = 20,           /* slave arg % 8 sends its first data word (arg < 8) or its second
                                         (arg 8..15) with a wrong CRC in every sensor cycle */
    TBSIM_CDS_STUCK = 21,           /* the master reads the CDS level arg (0 or 1) whatever the slaves
                                         answer */
    TBSIM_NO_START_BIT = 22,        /* no slave answers a sensor cycle: the master sees no start bit */
    TBSIM_CYCLE_NEVER_ENDS = 23,    /* a sensor cycle, once started, never ends */
    TBSIM_SLAVE_ABSENT = 24,        /* slave arg (0..7) does not answer on the BiSS line; the slaves
                                         behind it in the chain are cut off from sensor cycles */
    TBSIM_PORT_ACCESS_LOST = 25,    /* after arg more port driver calls (reads and writes), one call is
                                        lost on the parallel port: a write never arrives, a read finds
                                        nobody (0xFF); then the fault goes off */
    TBSIM_SLOW_LINE = 26,           /* every sensor cycle lasts arg register accesses more than the
                                         clock setting gives (a long line, a slow slave) */
    TBSIM_FAULT_COUNT
} tbsim_fault;
TBSIM_EXPORT void tbsim_set_fault(tbsim_fault fault, int on, uint32_t arg);

/* The device time-outs (ms) of the current or last opening, as FT_SetTimeouts set them (0 unset). */
TBSIM_EXPORT void tbsim_device_timeouts(uint32_t *read_ms, uint32_t *write_ms);

/* The FTDI device as a model of the chip's USB side needs it: whether it is on the bus (neither absent
 * nor unplugged), the serial clock cycles its MPSSE engine has run and the send-immediate commands
 * (0x87) it has taken since the world was made, and its clock divisor (0x86). */
typedef struct tbsim_device_state {
    int present;
    uint64_t clocks;
    uint64_t send_immediate;
    uint16_t divisor;
} tbsim_device_state;
TBSIM_EXPORT void tbsim_device_state_get(tbsim_device_state *out);

/* The master chip: version 1 or 2 with the id (register 0xEB) and revision (0xEA) it reports. A
 * version-2 master reports an id with bit 7 or 6 set; a version-1 master one with both clear. */
TBSIM_EXPORT void tbsim_set_master(int version, uint8_t id, uint8_t revision);
TBSIM_EXPORT uint8_t tbsim_master_get(uint8_t address);
TBSIM_EXPORT void tbsim_master_set(uint8_t address, uint8_t value);

/* Slave registers (slave 0..7, address 0..127), as the slave holds them, bypassing the line. */
TBSIM_EXPORT int tbsim_slave_count(void);
TBSIM_EXPORT uint8_t tbsim_slave_get(unsigned slave, unsigned address);
TBSIM_EXPORT void tbsim_slave_set(unsigned slave, unsigned address, uint8_t value);
/* Power cycle of the encoder: its RAM block (0..5) takes the EEPROM block (16..21). */
TBSIM_EXPORT void tbsim_encoder_power_cycle(void);

/* Sensor data of a slave (0..7): data word 0 (first) or 1 (second) of length bits (0..64, 0 = no such
 * word), the value it sends in the next sensor cycle, the step added after every cycle it answers, and
 * its CRC polynomial with the x^0 term (0x43 = x^6 + x + 1; 0 = none; TBSIM_CRC_FROM_SLOT = the one the
 * master's slot register holds). Sent most significant bit first, the CRC complemented after it. */
#define TBSIM_CRC_FROM_SLOT 0xFFFFFFFFu
TBSIM_EXPORT void tbsim_slave_sensor_set(unsigned slave, unsigned word, unsigned length, uint64_t value,
                                         uint64_t step, uint32_t crc);
/* The value the slave sends in its next sensor cycle (0 for no slave or no word). */
TBSIM_EXPORT uint64_t tbsim_slave_sensor_value(unsigned slave, unsigned word);

/* What the device was asked to do. */
typedef struct tbsim_counters {
    uint64_t opens, closes, writes, reads, purges, set_timeouts, set_latency, set_bitmode, ee_reads;
    uint64_t bytes_written;           /* bytes accepted by FT_Write */
    uint64_t bytes_read;              /* bytes delivered by FT_Read */
    uint64_t port_writes, port_reads; /* port driver calls, stray ones included */
} tbsim_counters;
TBSIM_EXPORT void tbsim_get_counters(tbsim_counters *out);

/* Logs, cleared by tbsim_clear_logs() and by every reset. */
/* Every D2XX call in order: name ("FT_Write", ...) and, for FT_Write and FT_Read, the bytes. */
TBSIM_EXPORT size_t tbsim_call_count(void);
TBSIM_EXPORT const char *tbsim_call_name(size_t index);
TBSIM_EXPORT size_t tbsim_call_bytes(size_t index, uint8_t *buffer, size_t size); /* returns the length */
/* Every SPI frame the master chip took, decoded: 'W' write or 'R' read, the register address and the
 * value written or clocked out. */
typedef struct tbsim_master_access {
    char op;
    uint8_t address;
    uint8_t value;
} tbsim_master_access;
TBSIM_EXPORT size_t tbsim_master_log_count(void);
TBSIM_EXPORT int tbsim_master_log_get(size_t index, tbsim_master_access *out); /* 0 ok, -1 out of range */
/* Every sensor cycle the master ran, in order. */
typedef struct tbsim_cycle {
    uint32_t number;    /* cycles since power-up, from 1 */
    uint8_t command;    /* the instruction value that started it (or started the automatic cycles) */
    uint8_t cdm;        /* the control bit the cycle carried to the slaves */
    uint8_t cds;        /* the control answer the master took back (bit 6 of 0xF3) */
    uint8_t valid;      /* 1 when the master saw the slaves' start bit */
    uint8_t status;     /* the status bits the cycle left (0x40 valid, 0x10 first words valid, 0x20 second
                        words valid, 0x02 second words came) */
    uint8_t slot_valid; /* bit s: slot s's first data word arrived with a good CRC */
} tbsim_cycle;
TBSIM_EXPORT size_t tbsim_cycle_log_count(void);
TBSIM_EXPORT int tbsim_cycle_log_get(size_t index, tbsim_cycle *out); /* 0 ok, -1 out of range */
/* What the slaves' control channels did (register mode C), one text per register: "slave 0 read 0x20
 * = 0x01" when a slave reads a register out, "slave 0 write 0x10 = 0x5A" when it commits one. The
 * text stays valid until the logs are cleared; null when the index is out of range. */
TBSIM_EXPORT size_t tbsim_control_log_count(void);
TBSIM_EXPORT const char *tbsim_control_log_get(size_t index);
TBSIM_EXPORT void tbsim_clear_logs(void); /* also zeroes the counters */

/* The parallel port: its base (the data register; status at base + 1, control at base + 2) and the
 * wiring of the master's adapter on it: 1 or 2 (an 8-bit bus, two ways of strobing it) or 3 (the
 * master's serial link on the control lines). Power-up: latches idle, nothing driven. The scenario's
 * port.base and port.wiring set the same; the default is 0x378 with wiring 3. */
TBSIM_EXPORT void tbsim_set_port(uint32_t base, int wiring);
/* Every port driver call in order: 'W' write or 'R' read, the port address, the value written or
 * returned; stray is 1 for a port outside base..base + 2 (nobody answers there: reads give 0xFF). */
typedef struct tbsim_port_access {
    char op;
    uint8_t value;
    uint8_t stray;
    uint32_t port;
} tbsim_port_access;
TBSIM_EXPORT size_t tbsim_port_log_count(void);
TBSIM_EXPORT int tbsim_port_log_get(size_t index, tbsim_port_access *out); /* 0 ok, -1 out of range */

#ifdef __cplusplus
}
#endif

#endif /* TARNBUS_SIM_H */
