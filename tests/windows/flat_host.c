/*
 * A host program as the shop-floor programs are written: it knows tarnbus.dll only by its file name
 * and the flat functions only by their exported names and prototypes (no header, no import library).
 * It loads the DLL with LoadLibrary, takes every function with GetProcAddress, calls through __stdcall
 * pointers, opens the simulated adapter, configures and starts the master and reads the rating plate,
 * which it compares with what the simulated encoder holds. Exits 0 when all went as it should.
 */
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

typedef int32_t(__stdcall *OpenInterface_t)(uint32_t, const char *, uint32_t *, uint32_t *, uint32_t *);
typedef int32_t(__stdcall *Handle_t)(uint32_t);
typedef int32_t(__stdcall *HandleValue_t)(uint32_t, uint32_t);
typedef int32_t(__stdcall *WriteMaster_t)(uint32_t, uint32_t, uint32_t, uint32_t);
typedef int32_t(__stdcall *ReadMaster_t)(uint32_t, uint32_t, uint32_t *);
typedef int32_t(__stdcall *SetMasterConfig_t)(uint32_t, uint32_t, uint32_t, uint32_t);
typedef int32_t(__stdcall *GetMasterConfig_t)(uint32_t, uint32_t, uint32_t, uint32_t *);
typedef int32_t(__stdcall *ReadSlaveRegister_t)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t *,
                                                uint8_t *);
typedef int32_t(__stdcall *WriteSlaveRegister_t)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t *,
                                                 uint8_t *, uint8_t);
typedef uint8_t (*SlaveGet_t)(unsigned, unsigned);

static int iFailures;

static void vCheck(int bOk, const char *strWhat)
{
    printf("%-60s %s\n", strWhat, bOk ? "ok" : "FAILED");
    if (!bOk)
        ++iFailures;
}

static void vCheckResult(int32_t lResult, int32_t lExpected, const char *strWhat)
{
    char str[96];
    snprintf(str, sizeof str, "%s -> %ld", strWhat, (long)lResult);
    vCheck(lResult == lExpected, str);
}

#if defined(__i386__)
/* The stack pointer as the caller sees it between two statements. A function that does not pop its
 * own arguments, called through a __stdcall pointer, leaves it lower by the argument bytes. */
#define STACK_MARK(var) __asm__ volatile("movl %%esp, %0" : "=r"(var))
#define CHECK_STACK(before, after, what) vCheck((before) == (after), what)
#else
/* 64-bit Windows has one calling convention: nothing to check. */
#define STACK_MARK(var) ((var) = 0)
#define CHECK_STACK(before, after, what) ((void)(before), (void)(after))
#endif

static FARPROC pFunction(HMODULE hDll, const char *strName)
{
    FARPROC p = GetProcAddress(hDll, strName);
    char str[96];
    snprintf(str, sizeof str, "export %s", strName);
    vCheck(p != NULL, str);
    return p;
}

int main(void)
{
    /* The adapter: the simulated one beside this program, unless the caller names another. */
    char strDriver[MAX_PATH];
    if (GetEnvironmentVariableA("TARNBUS_FTD2XX", strDriver, sizeof strDriver) == 0)
        SetEnvironmentVariableA("TARNBUS_FTD2XX", "ftd2xx-sim.dll");

    HMODULE hDll = LoadLibraryA("tarnbus.dll");
    vCheck(hDll != NULL, "LoadLibrary tarnbus.dll");
    if (!hDll)
        return 1;

    OpenInterface_t pOpen = (OpenInterface_t)(void *)pFunction(hDll, "OpenInterface");
    Handle_t pClose = (Handle_t)(void *)pFunction(hDll, "CloseInterface");
    WriteMaster_t pWriteMaster = (WriteMaster_t)(void *)pFunction(hDll, "WriteMaster");
    ReadMaster_t pReadMaster = (ReadMaster_t)(void *)pFunction(hDll, "ReadMaster");
    SetMasterConfig_t pSetConfig = (SetMasterConfig_t)(void *)pFunction(hDll, "SetMasterConfig");
    GetMasterConfig_t pGetConfig = (GetMasterConfig_t)(void *)pFunction(hDll, "GetMasterConfig");
    HandleValue_t pWriteConfig = (HandleValue_t)(void *)pFunction(hDll, "WriteMasterConfig");
    Handle_t pReadConfig = (Handle_t)(void *)pFunction(hDll, "_ReadMasterConfig@4");
    Handle_t pInit = (Handle_t)(void *)pFunction(hDll, "InitBissComm");
    ReadSlaveRegister_t pReadSlave = (ReadSlaveRegister_t)(void *)pFunction(hDll, "ReadSlaveRegister");
    WriteSlaveRegister_t pWriteSlave = (WriteSlaveRegister_t)(void *)pFunction(hDll, "WriteSlaveRegister");
    vCheck(GetProcAddress(hDll, "ReadMasterConfig") == NULL,
           "ReadMasterConfig only under its decorated name");
    vCheck(GetProcAddress(hDll, "OpenInterface@20") == NULL &&
               GetProcAddress(hDll, "_OpenInterface@20") == NULL,
           "no decorated name beside the plain one");
    if (iFailures)
        return 1;

    uintptr_t ulBefore, ulAfter;
    uint32_t ulHandle = 0;
    STACK_MARK(ulBefore);
    int32_t lResult = pOpen(4, "", NULL, NULL, &ulHandle);
    STACK_MARK(ulAfter);
    CHECK_STACK(ulBefore, ulAfter, "OpenInterface pops its own 20 argument bytes");
    vCheckResult(lResult, 0, "OpenInterface (USB)");
    vCheck(ulHandle == 1, "the process's first handle is 1");

    /* The master items the configuration program sends for slave 0. */
    static const uint32_t aaulItems[][2] = {{3, 10}, {4, 0},  {5, 0}, {6, 24}, {7, 0},  {8, 0}, {2, 1},
                                            {11, 0}, {12, 0}, {1, 1}, {20, 4}, {21, 2}, {2, 1}};
    int bAllSet = 1;
    for (size_t i = 0; i < sizeof aaulItems / sizeof aaulItems[0]; ++i)
        bAllSet = bAllSet && pSetConfig(ulHandle, 0, aaulItems[i][0], aaulItems[i][1]) == 0;
    vCheck(bAllSet, "SetMasterConfig x13");
    uint32_t ulValue = 0;
    vCheckResult(pGetConfig(ulHandle, 0, 3, &ulValue), 0, "GetMasterConfig item 3");
    vCheck(ulValue == 10, "item 3 reads back 10");
    STACK_MARK(ulBefore);
    lResult = pWriteConfig(ulHandle, 1);
    STACK_MARK(ulAfter);
    CHECK_STACK(ulBefore, ulAfter, "WriteMasterConfig pops its own 8 argument bytes");
    vCheckResult(lResult, 0, "WriteMasterConfig (forced)");
    vCheckResult(pReadConfig(ulHandle), 0, "_ReadMasterConfig@4");
    vCheckResult(pInit(ulHandle), 0, "InitBissComm");

    /* A master register through both directions. 0xE6 holds items 20 and 21: 2 << 5 | 4. */
    vCheckResult(pReadMaster(ulHandle, 0xE6, &ulValue), 0, "ReadMaster 0xE6");
    vCheck(ulValue == 0x44, "0xE6 holds what the configuration wrote");
    vCheckResult(pWriteMaster(ulHandle, 0xE6, 0x40, 0xFFFFFFFF), 0, "WriteMaster 0xE6");
    vCheckResult(pReadMaster(ulHandle, 0xE6, &ulValue), 0, "ReadMaster 0xE6 again");
    vCheck(ulValue == 0x40, "0xE6 changed");

    /* The rating plate, in the three reads the configuration program makes, against the encoder. */
    HMODULE hSim = GetModuleHandleA("ftd2xx-sim.dll");
    SlaveGet_t pSlaveGet = hSim ? (SlaveGet_t)(void *)GetProcAddress(hSim, "tbsim_slave_get") : NULL;
    vCheck(pSlaveGet != NULL, "the library loaded the simulated adapter");
    uint8_t aucPlate[104];
    memset(aucPlate, 0xEE, sizeof aucPlate);
    static const uint32_t aaulReads[][2] = {{32, 24}, {56, 32}, {88, 16}};
    for (size_t i = 0; i < 3; ++i) {
        uint32_t ulCount = aaulReads[i][1];
        char str[64];
        snprintf(str, sizeof str, "ReadSlaveRegister %u..%u", aaulReads[i][0],
                 aaulReads[i][0] + aaulReads[i][1] - 1);
        STACK_MARK(ulBefore);
        lResult = pReadSlave(ulHandle, 0, 0, aaulReads[i][0], &ulCount, aucPlate + aaulReads[i][0]);
        STACK_MARK(ulAfter);
        CHECK_STACK(ulBefore, ulAfter, "ReadSlaveRegister pops its own 24 argument bytes");
        vCheckResult(lResult, 0, str);
        vCheck(ulCount == aaulReads[i][1], "every register moved");
    }
    int bSame = pSlaveGet != NULL;
    for (unsigned a = 32; bSame && a < 104; ++a)
        bSame = aucPlate[a] == pSlaveGet(0, a);
    vCheck(bSame, "the plate reads as the encoder holds it");
    printf("serial number \"%.7s\", order designation \"%.32s\"\n", (const char *)aucPlate + 49,
           (const char *)aucPlate + 56);

    /* One configuration byte written with a mask: the one-byte argument is passed as a full slot. */
    uint32_t ulOne = 1;
    uint8_t ucByte = 0x00;
    STACK_MARK(ulBefore);
    lResult = pWriteSlave(ulHandle, 0, 0, 2, &ulOne, &ucByte, 0x01);
    STACK_MARK(ulAfter);
    CHECK_STACK(ulBefore, ulAfter, "WriteSlaveRegister pops its own 28 argument bytes");
    vCheckResult(lResult, 0, "WriteSlaveRegister RAM 2, bit 0 only");
    vCheck(pSlaveGet && ucByte == (pSlaveGet(0, 2) & 0xFF) && (ucByte & 0x01) == 0,
           "the merged byte is what the encoder holds");

    vCheckResult(pClose(ulHandle), 0, "CloseInterface");
    vCheckResult(pClose(ulHandle), 1, "CloseInterface again: BISS_INVALID_HANDLE");
    FreeLibrary(hDll);
    return iFailures ? 1 : 0;
}
