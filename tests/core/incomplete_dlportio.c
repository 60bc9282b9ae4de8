/* A port driver library that lacks its read function: it must never be called. */
#include <stdint.h>
#include <stdlib.h>

__attribute__((visibility("default"))) void DlPortWritePortUchar(uint32_t ulPort, uint8_t ucValue)
{
    (void)ulPort;
    (void)ucValue;
    abort();
}
