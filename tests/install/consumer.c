/*
 * A program of someone else's, built against the installed library only (pkg-config or CMake): opens
 * the USB adapter the environment names (the simulated one in the package checks), starts the master
 * and prints the encoder's serial number from its rating plate. Exits 0 when every step succeeds.
 */
#include <stdio.h>

#include <tarnbus/tarnbus.h>

int main(void)
{
    uint32_t ulHandle = 0;
    int32_t lResult = OpenInterface(INTERFACE_USB, "", NULL, NULL, &ulHandle);
    if (lResult == BISS_OK)
        lResult = WriteMasterConfig(ulHandle, 1);
    if (lResult == BISS_OK)
        lResult = InitBissComm(ulHandle);
    uint8_t aucSerial[8] = {0};
    uint32_t ulCount = 7;
    if (lResult == BISS_OK)
        lResult = ReadSlaveRegister(ulHandle, 0, 0, 49, &ulCount, aucSerial);
    CloseInterface(ulHandle);
    if (lResult != BISS_OK) {
        fprintf(stderr, "tarnbus consumer: result %d\n", (int)lResult);
        return 1;
    }
    printf("encoder serial number %s\n", (const char *)aucSerial);
    return 0;
}
