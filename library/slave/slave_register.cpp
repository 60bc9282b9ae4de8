// Slave register access: each slave uses register mode B (run by the master chip) or register mode C
// (the control frame), as its MC_SLAVE_MODE_C flag says.
#include "tarnbus/BissClass.h"

BissEnum BissClass::eReadSlaveRegister(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                                       uint32_t *pulCount, uint8_t *pucData)
{
    if (abMcSlaveModeC[ulSlaveId & 7])
        return eReadSlaveRegisterModC(ulSelector, ulSlaveId, ulAddress, pulCount, pucData);
    return eReadSlaveRegisterModB(ulSelector, ulSlaveId, ulAddress, pulCount, pucData);
}

BissEnum BissClass::eWriteSlaveRegister(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                                        uint32_t *pulCount, uint8_t *pucData, uint8_t ucMask)
{
    if (abMcSlaveModeC[ulSlaveId & 7])
        return eWriteSlaveRegisterModC(ulSelector, ulSlaveId, ulAddress, pulCount, pucData, ucMask);
    return eWriteSlaveRegisterModB(ulSelector, ulSlaveId, ulAddress, pulCount, pucData, ucMask);
}
