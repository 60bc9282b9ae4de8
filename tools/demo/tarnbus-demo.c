/*
 * tarnbus-demo [--interface N] [--port TEXT] [position [--count N]] | --help | --version: opens the
 * adapter (the USB adapter, kind 4, unless --interface names another kind; the parallel-port kinds 1
 * to 3 take their port base from --port, default 0x378), configures and starts the BiSS master and
 * prints the encoder's rating plate and factory block; with "position" it then reads N position
 * samples (default 10) with ReadSensBlock and prints each slave's data words and the samples per second it
 * reached. Without TARNBUS_FTD2XX (TARNBUS_DLPORTIO for the port) in the environment it uses the
 * simulated adapter and port built beside it (../lib/libftd2xx-sim.so). Exits with 1 when a step
 * fails, 2 for a usage error.
 */
#define _DEFAULT_SOURCE
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#if defined(_WIN32)
#include <windows.h>
#else
#include <libgen.h>
#include <time.h>
#include <unistd.h>
#endif

#include "tarnbus/result_names.h"
#include "tarnbus/tarnbus.h"

/* Prints the step and its result; false when it failed. */
static int bReport(const char *strStep, int32_t lResult)
{
    printf("%-34s %s\n", strStep, strBissResultName(lResult));
    return lResult == BISS_OK;
}

#if defined(_WIN32)
/* On Windows the simulated adapter, ftd2xx-sim.dll, sits in the demo's own folder. */
static void vUseSimulatorByDefault(const char *strVariable)
{
    if (getenv(strVariable))
        return;
    char strDriver[MAX_PATH + 32];
    DWORD ulLength = GetModuleFileNameA(NULL, strDriver, MAX_PATH);
    if (ulLength == 0 || ulLength >= MAX_PATH)
        return;
    char *pcSlash = strrchr(strDriver, '\\');
    strcpy(pcSlash ? pcSlash + 1 : strDriver, "ftd2xx-sim.dll");
    _putenv_s(strVariable, strDriver);
}
#else
static void vUseSimulatorByDefault(const char *strVariable)
{
    if (getenv(strVariable))
        return;
    char strExe[PATH_MAX];
    ssize_t lLength = readlink("/proc/self/exe", strExe, sizeof strExe - 1);
    if (lLength <= 0)
        return;
    strExe[lLength] = '\0';
    char strDriver[PATH_MAX + 32];
    snprintf(strDriver, sizeof strDriver, "%s/../lib/libftd2xx-sim.so", dirname(strExe));
    setenv(strVariable, strDriver, 1);
}
#endif

static const char strUsage[] = "Usage: tarnbus-demo [--interface N] [--port TEXT] [position [--count N]]\n";

static void vHelp(void)
{
    printf("%s", strUsage);
    printf("Opens the adapter, configures and starts the BiSS master, prints the encoder's rating plate\n"
           "and factory block and, with position, reads N position samples (default 10).\n"
           "  --interface N  the adapter kind: 4 the USB adapter (default); 1, 2, 3 a parallel-port adapter\n"
           "  --port TEXT    the parallel port's base for kinds 1 to 3 (default 0x378)\n"
           "  --count N      position samples, 1 to 1000000\n"
           "  --version      the program's version\n"
           "  --help         this text\n"
           "Without TARNBUS_FTD2XX (TARNBUS_DLPORTIO for the port) in the environment it uses the simulated\n"
           "adapter and port built beside it. Exit status: 0 success, 1 a step failed, 2 a usage error.\n");
}

/* What was wrong, then the usage; the exit status of a usage error. */
static int iUsageError(const char *strWhat, const char *strArgument)
{
    fprintf(stderr, "tarnbus-demo: %s%s\n", strWhat, strArgument);
    fprintf(stderr, "%s", strUsage);
    return 2;
}

/* The arguments: -1 to go on, else the exit status (0 after --help or --version, 2 when one is wrong,
 * after saying what is wrong). */
static int iParseArguments(int argc, char **argv, uint32_t *pulKind, const char **pstrPort,
                           uint32_t *pulSamples)
{
    for (int i = 1; i < argc; ++i) {
        const char *strValue = i + 1 < argc ? argv[i + 1] : NULL;
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            vHelp();
            return 0;
        } else if (strcmp(argv[i], "--version") == 0) {
            printf("tarnbus-demo %s\n", TARNBUS_PROGRAM_VERSION);
            return 0;
        } else if (strcmp(argv[i], "--interface") == 0 && strValue) {
            char *pcEnd = NULL;
            unsigned long ulKind = strtoul(strValue, &pcEnd, 10);
            if (*strValue < '0' || *strValue > '9' || *pcEnd || ulKind < 1 || ulKind > 5)
                return iUsageError("--interface takes an adapter kind from 1 to 5, not ", strValue);
            *pulKind = (uint32_t)ulKind;
            ++i;
        } else if (strcmp(argv[i], "--port") == 0 && strValue) {
            *pstrPort = strValue;
            ++i;
        } else if (strcmp(argv[i], "position") == 0 && *pulSamples == 0) {
            *pulSamples = 10;
        } else if (strcmp(argv[i], "--count") == 0 && strValue && *pulSamples) {
            char *pcEnd = NULL;
            unsigned long ulCount = strtoul(strValue, &pcEnd, 10);
            if (*strValue < '0' || *strValue > '9' || *pcEnd || ulCount < 1 || ulCount > 1000000)
                return iUsageError("--count takes a number of samples from 1 to 1000000, not ", strValue);
            *pulSamples = (uint32_t)ulCount;
            ++i;
        } else if (strcmp(argv[i], "--interface") == 0 || strcmp(argv[i], "--port") == 0 ||
                   (strcmp(argv[i], "--count") == 0 && *pulSamples)) {
            return iUsageError("a value is missing after ", argv[i]);
        } else if (strcmp(argv[i], "--count") == 0) {
            return iUsageError("--count belongs to position", "");
        } else {
            return iUsageError(argv[i][0] == '-' ? "unknown option " : "unexpected argument ", argv[i]);
        }
    }
    return -1;
}

/* Register texts may fill their field completely or end early with a zero byte. */
static void vPrintText(const char *strLabel, const uint8_t *pucBytes, size_t uiCount)
{
    printf("  %-22s \"", strLabel);
    for (size_t i = 0; i < uiCount && pucBytes[i]; ++i)
        putchar(pucBytes[i] >= 0x20 && pucBytes[i] < 0x7F ? pucBytes[i] : '?');
    printf("\"\n");
}

static uint32_t ulBigEndian(const uint8_t *pucBytes, size_t uiCount)
{
    uint32_t ulValue = 0;
    for (size_t i = 0; i < uiCount; ++i)
        ulValue = (ulValue << 8) | pucBytes[i];
    return ulValue;
}

static int bReadRegisters(uint32_t ulHandle, uint32_t ulAddress, uint32_t ulCount, uint8_t *pucPlate)
{
    char strStep[64];
    uint32_t ulDone = ulCount;
    snprintf(strStep, sizeof strStep, "ReadSlaveRegister %u..%u", ulAddress, ulAddress + ulCount - 1);
    return bReport(strStep, ReadSlaveRegister(ulHandle, 0, 0, ulAddress, &ulDone, pucPlate + ulAddress));
}

/* Milliseconds of a monotonic clock, for the sample rate. */
static double dNowMs(void)
{
#if defined(_WIN32)
    return (double)GetTickCount();
#else
    struct timespec tsNow;
    clock_gettime(CLOCK_MONOTONIC, &tsNow);
    return tsNow.tv_sec * 1000.0 + tsNow.tv_nsec / 1e6;
#endif
}

/* ulSamples position samples of slave 0 (the demo configures one slave), read in blocks of up to 1000
 * cycles with ReadSensBlock; false at the first failure. */
static int bReadPositions(uint32_t ulHandle, uint32_t ulSamples)
{
    enum {
        BLOCK = 1000
    };
    static uint32_t aulScd[BLOCK], aulMcd[BLOCK];
    static uint8_t aucMcdValid[BLOCK];
    const double dStart = dNowMs();
    for (uint32_t ulFirst = 0; ulFirst < ulSamples; ulFirst += BLOCK) {
        const uint32_t ulCycles = ulSamples - ulFirst < BLOCK ? ulSamples - ulFirst : BLOCK;
        uint32_t ulDone = 0;
        const int32_t lResult = ReadSensBlock(ulHandle, ulCycles, aulScd, aulMcd, aucMcdValid, &ulDone);
        for (uint32_t i = 0; i < ulDone; ++i) {
            if (aucMcdValid[i])
                printf("sample %u: word 1 %u, word 2 %u\n", ulFirst + i + 1, aulScd[i], aulMcd[i]);
            else
                printf("sample %u: word 1 %u, word 2 not valid\n", ulFirst + i + 1, aulScd[i]);
        }
        if (lResult != BISS_OK)
            return bReport("ReadSensBlock", lResult);
    }
    const double dSeconds = (dNowMs() - dStart) / 1000.0;
    if (dSeconds > 0)
        printf("%.0f samples per second\n", ulSamples / dSeconds);
    return 1;
}

int main(int argc, char **argv)
{
    /* The master items the configuration program sends for slave 0: data words of 10 and 24 bits
     * without CRC, register mode B, then the master's own settings. */
    static const uint32_t aaulItems[][2] = {
        {MC_DATA1_LENGTH, 10}, {MC_DATA1_CRCPOLY, 0}, {MC_DATA1_BIT7, 0},  {MC_DATA2_LENGTH, 24},
        {MC_DATA2_CRCPOLY, 0}, {MC_DATA2_BIT7, 0},    {MC_E5_LOW_BITS, 1}, {MC_DATA2_FLAG_A, 0},
        {MC_SLAVE_MODE_C, 0},  {MC_F5_BIT0, 1},       {MC_E6_LOW5, 4},     {MC_E6_HIGH3, 2},
        {MC_E5_LOW_BITS, 1},
    };
    uint32_t ulKind = INTERFACE_USB;
    const char *strPort = "";
    uint32_t ulSamples = 0;
    const int iStatus = iParseArguments(argc, argv, &ulKind, &strPort, &ulSamples);
    if (iStatus >= 0)
        return iStatus;
    const int bPort = ulKind >= INTERFACE_LPT1 && ulKind <= INTERFACE_LPT3;
    if (bPort && !*strPort)
        strPort = "0x378"; /* the first printer port of a PC */
    const char *strVariable = bPort ? "TARNBUS_DLPORTIO" : "TARNBUS_FTD2XX";
    vUseSimulatorByDefault(strVariable);
    printf("driver: %s\n", getenv(strVariable));

    uint32_t ulHandle = 0;
    int32_t lResult = OpenInterface(ulKind, strPort, NULL, NULL, &ulHandle);
    printf("handle: %u\n", ulHandle);
    char strOpen[64];
    snprintf(strOpen, sizeof strOpen, "OpenInterface (kind %u%s%s)", ulKind, *strPort ? ", " : "", strPort);
    int bOk = bReport(strOpen, lResult);
    for (size_t i = 0; bOk && i < sizeof aaulItems / sizeof aaulItems[0]; ++i) {
        char strStep[64];
        snprintf(strStep, sizeof strStep, "SetMasterConfig item %u = %u", aaulItems[i][0], aaulItems[i][1]);
        bOk = bReport(strStep, SetMasterConfig(ulHandle, 0, aaulItems[i][0], aaulItems[i][1]));
    }
    bOk = bOk && bReport("WriteMasterConfig (forced)", WriteMasterConfig(ulHandle, 1));
    bOk = bOk && bReport("InitBissComm", InitBissComm(ulHandle));

    uint8_t aucPlate[104] = {0};
    bOk = bOk && bReadRegisters(ulHandle, 32, 24, aucPlate) && bReadRegisters(ulHandle, 56, 32, aucPlate) &&
          bReadRegisters(ulHandle, 88, 16, aucPlate);
    if (bOk) {
        printf("rating plate:\n");
        printf("  %-22s %u\n", "format marker", aucPlate[32]);
        printf("  %-22s %u\n", "article type", aucPlate[33]);
        printf("  %-22s %u\n", "basic resolution", ulBigEndian(aucPlate + 34, 3));
        vPrintText("product code", aucPlate + 37, 6);
        vPrintText("serial number", aucPlate + 49, 7);
        vPrintText("order designation", aucPlate + 56, 32);
        printf("factory block:\n");
        printf("  %-22s %u\n", "divider", ulBigEndian(aucPlate + 88, 2));
        printf("  %-22s %u\n", "pulse count", ulBigEndian(aucPlate + 90, 4));
        printf("  %-22s %u\n", "direction", aucPlate[94]);
        printf("  %-22s %u\n", "zero pulse", aucPlate[95]);
    }
    if (bOk && ulSamples)
        bOk = bReadPositions(ulHandle, ulSamples);
    if (ulHandle != 0)
        bReport("CloseInterface", CloseInterface(ulHandle));
    return bOk ? 0 : 1;
}
