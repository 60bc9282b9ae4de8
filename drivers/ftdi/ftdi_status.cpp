#include "ftdi_status.h"

namespace tbftdi {

FT_STATUS statusOf(Step step, int result)
{
    if (result >= 0)
        return FT_OK;
    switch (step) {
    case Step::Find:
        // -3 is an allocation that failed; anything else means the bus could not be listed.
        return result == -3 ? FT_INSUFFICIENT_RESOURCES : FT_DEVICE_NOT_FOUND;
    case Step::Open:
        // The device is there but cannot be had: no permission, claimed by another program, or it
        // would not take its first settings.
        return FT_DEVICE_NOT_OPENED;
    case Step::Latency:
        return result == -1 ? FT_INVALID_PARAMETER : FT_IO_ERROR;
    case Step::Control:
    case Step::Transfer:
        // A USB failure, typically a device that has been unplugged.
        return FT_IO_ERROR;
    }
    return FT_OTHER_ERROR;
}

} // namespace tbftdi
