/* The part of FTDI's D2XX interface that tarnbus uses, with the types of FTDI's current Linux headers
 * (DWORD and ULONG are 32 bits). Both the driver loader and the project's D2XX-compatible libraries
 * (the simulated adapter) build against this one declaration. */
#ifndef TARNBUS_D2XX_H
#define TARNBUS_D2XX_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define FT_WINAPI __stdcall
#else
#define FT_WINAPI
#endif

typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef uint16_t WORD;
typedef uint8_t UCHAR;
typedef void *FT_HANDLE;
typedef ULONG FT_STATUS;

enum {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_FAILED_TO_WRITE_DEVICE = 10,
    FT_EEPROM_READ_FAILED = 11,
    FT_EEPROM_NOT_PRESENT = 14,
    FT_EEPROM_NOT_PROGRAMMED = 15,
    FT_NOT_SUPPORTED = 17,
    FT_OTHER_ERROR = 18
};

enum {
    FT_PURGE_RX = 1,
    FT_PURGE_TX = 2
};
enum {
    FT_BITMODE_RESET = 0x00,
    FT_BITMODE_MPSSE = 0x02
};

/* EEPROM program data as FT_EE_Read fills it. The caller sets Signature1 = 0, Signature2 = 0xFFFFFFFF,
 * Version, and points the four strings at buffers it owns. */
typedef struct ft_program_data {
    DWORD Signature1;
    DWORD Signature2;
    DWORD Version;
    WORD VendorId;
    WORD ProductId;
    char *Manufacturer;
    char *ManufacturerId;
    char *Description;
    char *SerialNumber;
    WORD MaxPower;
    WORD PnP;
    WORD SelfPowered;
    WORD RemoteWakeup;
    /* FT232B */
    UCHAR Rev4, IsoIn, IsoOut, PullDownEnable, SerNumEnable, USBVersionEnable;
    WORD USBVersion;
    /* FT2232 */
    UCHAR Rev5, IsoInA, IsoInB, IsoOutA, IsoOutB, PullDownEnable5, SerNumEnable5, USBVersionEnable5;
    WORD USBVersion5;
    UCHAR AIsHighCurrent, BIsHighCurrent, IFAIsFifo, IFAIsFifoTar, IFAIsFastSer, AIsVCP, IFBIsFifo,
        IFBIsFifoTar, IFBIsFastSer, BIsVCP;
    /* FT232R */
    UCHAR UseExtOsc, HighDriveIOs, EndpointSize, PullDownEnableR, SerNumEnableR, InvertTXD, InvertRXD,
        InvertRTS, InvertCTS, InvertDTR, InvertDSR, InvertDCD, InvertRI, Cbus0, Cbus1, Cbus2, Cbus3, Cbus4,
        RIsD2XX;
    /* FT2232H */
    UCHAR PullDownEnable7, SerNumEnable7, ALSlowSlew, ALSchmittInput, ALDriveCurrent, AHSlowSlew,
        AHSchmittInput, AHDriveCurrent, BLSlowSlew, BLSchmittInput, BLDriveCurrent, BHSlowSlew,
        BHSchmittInput, BHDriveCurrent, IFAIsFifo7, IFAIsFifoTar7, IFAIsFastSer7, AIsVCP7, IFBIsFifo7,
        IFBIsFifoTar7, IFBIsFastSer7, BIsVCP7, PowerSaveEnable;
    /* FT4232H */
    UCHAR PullDownEnable8, SerNumEnable8, ASlowSlew, ASchmittInput, ADriveCurrent, BSlowSlew, BSchmittInput,
        BDriveCurrent, CSlowSlew, CSchmittInput, CDriveCurrent, DSlowSlew, DSchmittInput, DDriveCurrent,
        ARIIsTXDEN, BRIIsTXDEN, CRIIsTXDEN, DRIIsTXDEN, AIsVCP8, BIsVCP8, CIsVCP8, DIsVCP8;
    /* FT232H */
    UCHAR PullDownEnableH, SerNumEnableH, ACSlowSlewH, ACSchmittInputH, ACDriveCurrentH, ADSlowSlewH,
        ADSchmittInputH, ADDriveCurrentH, Cbus0H, Cbus1H, Cbus2H, Cbus3H, Cbus4H, Cbus5H, Cbus6H, Cbus7H,
        Cbus8H, Cbus9H, IsFifoH, IsFifoTarH, IsFastSerH, IsFT1248H, FT1248CpolH, FT1248LsbH,
        FT1248FlowControlH, IsVCPH, PowerSaveEnableH;
} FT_PROGRAM_DATA;

#if defined(__x86_64__) && !defined(_WIN32)
#ifdef __cplusplus
static_assert(sizeof(FT_PROGRAM_DATA) == 176, "FT_PROGRAM_DATA must match FTDI's layout");
#else
_Static_assert(sizeof(FT_PROGRAM_DATA) == 176, "FT_PROGRAM_DATA must match FTDI's layout");
#endif
#endif

/* The D2XX functions by their standard names and prototypes. */
typedef FT_STATUS(FT_WINAPI *FT_Open_t)(int deviceNumber, FT_HANDLE *pHandle);
typedef FT_STATUS(FT_WINAPI *FT_Close_t)(FT_HANDLE ftHandle);
typedef FT_STATUS(FT_WINAPI *FT_Read_t)(FT_HANDLE ftHandle, void *lpBuffer, DWORD dwBytesToRead,
                                        DWORD *lpBytesReturned);
typedef FT_STATUS(FT_WINAPI *FT_Write_t)(FT_HANDLE ftHandle, void *lpBuffer, DWORD dwBytesToWrite,
                                         DWORD *lpBytesWritten);
typedef FT_STATUS(FT_WINAPI *FT_Purge_t)(FT_HANDLE ftHandle, ULONG Mask);
typedef FT_STATUS(FT_WINAPI *FT_SetTimeouts_t)(FT_HANDLE ftHandle, ULONG ReadTimeout, ULONG WriteTimeout);
typedef FT_STATUS(FT_WINAPI *FT_SetLatencyTimer_t)(FT_HANDLE ftHandle, UCHAR ucLatency);
typedef FT_STATUS(FT_WINAPI *FT_SetBitMode_t)(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable);
typedef FT_STATUS(FT_WINAPI *FT_EE_Read_t)(FT_HANDLE ftHandle, FT_PROGRAM_DATA *pData);

#ifdef __cplusplus
}
#endif

#endif /* TARNBUS_D2XX_H */
