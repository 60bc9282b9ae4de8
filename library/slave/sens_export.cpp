// The flat export of the position sample.
#include "handle_table.h"
#include "tarnbus/BissClass.h"
#include "tarnbus/tarnbus.h"

extern "C" {

TARNBUS_FLAT int32_t TARNBUS_API ReadSens(uint32_t ulHandle, uint32_t *pulScd, uint32_t *pulMcd,
                                          bool *pbMcdValid)
{
    BissClass *p = tarnbus::pInterfaceOf(ulHandle);
    return p ? p->eReadSens(pulScd, pulMcd, pbMcdValid) : BISS_INVALID_HANDLE;
}

} // extern "C"
