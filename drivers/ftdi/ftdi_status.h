// How libftdi1's results become the D2XX statuses the library handles. libftdi1 answers a count or 0
// for success and a negative number, whose meaning depends on the function, for failure.
#ifndef TARNBUS_FTDI_STATUS_H
#define TARNBUS_FTDI_STATUS_H

#include "d2xx.h"

namespace tbftdi {

enum class Step {
    Find,     // ftdi_usb_find_all
    Open,     // ftdi_usb_open_dev
    Latency,  // ftdi_set_latency_timer: -1 is a value out of range
    Control,  // bit mode, purge, reset, transfer sizes
    Transfer, // ftdi_write_data, ftdi_read_data
};

FT_STATUS statusOf(Step step, int result);

} // namespace tbftdi

#endif
