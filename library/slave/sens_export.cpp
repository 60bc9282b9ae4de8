// The flat exports of the position samples.
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

TARNBUS_FLAT int32_t TARNBUS_API ReadSensBlock(uint32_t ulHandle, uint32_t ulCycles, uint32_t *pulScd,
                                               uint32_t *pulMcd, uint8_t *pucMcdValid, uint32_t *pulDone)
{
    BissClass *p = tarnbus::pInterfaceOf(ulHandle);
    return p ? p->eReadSensBlock(ulCycles, pulScd, pulMcd, pucMcdValid, pulDone) : BISS_INVALID_HANDLE;
}

} // extern "C"
