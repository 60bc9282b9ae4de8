/*
 * BissClass: one BiSS master behind one adapter. OpenInterface makes one per handle; C++ hosts may also
 * use the class directly. Every operation returns a BissEnum (tarnbus.h). An object is used from one
 * thread at a time.
 */
#ifndef TARNBUS_BISS_CLASS_H
#define TARNBUS_BISS_CLASS_H

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BissReadSensClass.h"
#include "DataLists.h"
#include "tarnbus.h"
#include "tarnbus_export.h"

class AdapterClass;
class LptPortClass;
class UsbAdapterClass;
struct TransferState;
namespace tarnbus {
struct CycleAnswers;
enum class CycleReads;
} // namespace tarnbus

/* Result of one cycle step (eStartBissTransferLpt). */
enum ReadSensEnum : int32_t {
    READSENS_OK = 0,            /* step done, or nothing to do while the master runs cycles by itself */
    READSENS_NO_EOT = 1,        /* the master was still busy: nothing started */
    READSENS_TIMEOUT = 2,       /* version-1 master: not ready within one second */
    READSENS_MASTER_FAILED = 12 /* a master register access failed */
};

class TARNBUS_EXPORT BissClass {
public:
    static constexpr unsigned SLAVE_COUNT = 8;        /* slave indexes 0..7 */
    static constexpr uint32_t SLAVE_DATA_WINDOW = 64; /* registers one mode-B transfer moves at most */

    BissClass();
    ~BissClass();
    /* An object owns its adapter and the device behind it; two owners of one device cannot exist. */
    BissClass(const BissClass &) = delete;
    BissClass &operator=(const BissClass &) = delete;

    /* Adapter selection. strText carries the parallel-port base ("0x378") for kinds 1 to 3. */
    BissEnum eSetInterface(InterfaceEnum eKind, std::string strText);
    bool bCheckDLL(const std::string &strFile);
    bool bCheckLPT();
    bool bCheckUSB();
    bool bCheckSY2D();

    /* Master registers. */
    BissEnum eWriteMaster(uint32_t ulAddress, uint32_t ulData, uint32_t ulMask);
    BissEnum eReadMaster(uint32_t ulAddress, uint32_t *pulData);
    BissEnum eReadMaster(uint8_t ucAddress, uint8_t *pucData);
    BissEnum eWriteMasterVerify(uint8_t ucAddress, uint32_t ulValue, bool bOnlyIfChanged);
    void vGetMasterVersion(MasterVersionEnum *peVersion, uint8_t *pucId, uint8_t *pucRevision);
    void vResetMasterVersion();

    /* Master configuration and start-up. */
    BissEnum eSetMasterConfig(uint32_t ulSlave, MasterConfigEnum eItem, uint32_t ulValue);
    BissEnum eGetMasterConfig(uint32_t ulSlave, MasterConfigEnum eItem, uint32_t *pulValue);
    BissEnum eWriteMasterConfig(uint32_t ulForce);
    BissEnum eReadMasterConfig();
    BissEnum eInitBissComm();

    /* Slave registers: dispatched by the slave's MC_SLAVE_MODE_C flag. */
    BissEnum eReadSlaveRegister(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                                uint32_t *pulCount, uint8_t *pucData);
    BissEnum eWriteSlaveRegister(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                                 uint32_t *pulCount, uint8_t *pucData, uint8_t ucMask);
    BissEnum eReadSlaveRegisterModB(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                                    uint32_t *pulCount, uint8_t *pucData);
    BissEnum eWriteSlaveRegisterModB(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                                     uint32_t *pulCount, uint8_t *pucData, uint8_t ucMask);
    BissEnum eReadSlaveRegisterModC(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                                    uint32_t *pulCount, uint8_t *pucData);
    BissEnum eWriteSlaveRegisterModC(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                                     uint32_t *pulCount, uint8_t *pucData, uint8_t ucMask);

    /* CRC over a text of '0'/'1' characters with a generator text such as "11001" (x^4 + x + 1): start
     * value 0, no final inversion; character j of the result is CRC bit j. A generator shorter than
     * two characters gives an empty text. */
    static std::string strCrcGen(const std::string &strData, const std::string &strPoly);

    /* Sensor cycles. A record's data are unpacked from the master's data memory, or from a 128-byte
     * copy of its addresses 0..0x7F when pucImage is not null. */
    BissEnum eExtractSensData(BissReadSensClass *pRecord, const uint8_t *pucImage);
    /* One cycle through the master's instruction register: start it, ask whether it has ended, read
     * its record. */
    ReadSensEnum eStartBissTransferLpt();
    BissEnum eReadStatusLpt(bool *pbDone);
    BissEnum eReadDataLpt(BissReadSensClass *pRecord);

    /* Cycle runs: ulCycles cycles after the first (bCountRegisters 0) or until ulCycles registers of
     * the pending request have completed (bCountRegisters 1); every record is kept for eReadData. */
    BissEnum eStartBissTransfer(uint32_t ulCycles, uint32_t bCountRegisters);
    BissEnum eReadStatus(uint32_t *pulCycleCount);
    /* One position sample: one element per configured slave in pulScd and pulMcd. */
    BissEnum eReadSens(uint32_t *pulScd, uint32_t *pulMcd, bool *pbMcdValid);
    /* ulCycles (1 to 65536) samples back to back, each as eReadSens takes it: element c·n + s of pulScd
     * and pulMcd (n = the slave count), one flag per cycle in pucMcdValid. *pulDone = the cycles
     * stored; a failure stores nothing for its cycle or after it. */
    BissEnum eReadSensBlock(uint32_t ulCycles, uint32_t *pulScd, uint32_t *pulMcd, uint8_t *pucMcdValid,
                            uint32_t *pulDone);

    /* Register request for the next transfer, and the result lists of the last one (released with
     * ReleaseDataLists). */
    BissEnum eWriteData(WRITEDATA1 **ppWrite1, WRITEDATA5 **ppWrite5, WRITEDATA8 **ppWrite8);
    BissEnum eReadData(READDATA1 **ppScd, READDATA5 **ppMcd, READDATA8 **ppCtr);

private:
    BissEnum eGetSensData(uint8_t ucAddress, uint8_t *pucValue, const uint8_t *pucImage);
    static void vClearSensData(BissReadSensClass *pRecord);
    /* eReadData, also telling the first cycle error among the records the lists were made from. */
    BissEnum eMakeDataLists(READDATA1 **ppScd, READDATA5 **ppMcd, READDATA8 **ppCtr, uint32_t *pulCycleError);
    static void CreateSCDList(READDATA1 **ppList, int32_t lCount, int32_t lSlaves);
    static void CreateMCDList(READDATA5 **ppList, int32_t lCount, int32_t lSlaves);
    static void CreateCTRList(READDATA8 **ppList, int32_t lCount);
    /* Slaves the lists carry: the slave count, never more than a record holds. */
    uint32_t ulListSlaves() const;

    /* The cycle engine (cycle_engine.cpp): a whole cycle queued on a batching transport and judged
     * from its answers. */
    bool bBatchedCycles() const;
    std::vector<uint8_t> vecSensAddresses();
    void vQueueCycleReads(tarnbus::CycleAnswers &answers, tarnbus::CycleReads eReads);
    void vQueueCycle(uint8_t ucCommand, unsigned uiPolls, tarnbus::CycleAnswers &answers,
                     tarnbus::CycleReads eReads);
    BissEnum eAwaitCycleEnd(tarnbus::CycleAnswers &answers, uint64_t ullStart, unsigned *puiWaited);
    static bool bCycleEnded(const tarnbus::CycleAnswers &answers);
    void vJudgeCycle(const tarnbus::CycleAnswers &answers, BissReadSensClass *pRecord);
    uint8_t ucNextCycleCommand();
    BissEnum eStopIfFailed();
    BissEnum eBatchedCycle(uint8_t ucCommand, BissReadSensClass *pRecord, tarnbus::CycleReads eReads);
    BissEnum eReadSensBatched(uint32_t *pulScd, uint32_t *pulMcd, bool *pbMcdValid);
    /* A sample from a cycle record, by eReadSens's rule. */
    void vTakeSample(const BissReadSensClass &record, uint32_t *pulScd, uint32_t *pulMcd,
                     bool *pbMcdValid) const;

    /* Register mode C: arguments checked before anything is sent, and the transfer on interface kinds
     * that step their cycles (register request, cycle runs, control results). */
    BissEnum eCheckModCArguments(uint32_t ulSlaveId, uint32_t ulAddress, const uint32_t *pulCount,
                                 const uint8_t *pucData) const;
    BissEnum eModCTransfer(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress, uint32_t *pulCount,
                           uint8_t *pucData, bool bWrite);
    BissEnum eModCWaitCycles(uint32_t ulCount);
    BissEnum eSteppedCycles(const std::vector<bool> &vecBits);
    /* Register mode C on a batching transport (register_mode_c_frames.cpp): the frames ride on batched
     * cycles, gathered into stretches whose bits do not depend on the slave's answers. */
    struct BrokenWrite { /* where a failed write frame may have left the slave */
        bool bWrite = false;
        uint8_t ucData = 0;
        int iFirstSent = -1; /* the frame steps of which any may have been the last to reach the line */
        int iLastSent = -1;
    };
    BissEnum eModCReadyWait();
    BissEnum eModCAbort();
    BissEnum eModCIdleCycles(const std::vector<bool> &vecBits);
    BissEnum eModCFrameFailed(uint32_t ulError, BissEnum eResult, const BrokenWrite &broken);
    BissEnum eModCRegisterFrame(uint8_t ucMode, uint8_t ucSlaveId, uint8_t ucAddress, uint8_t ucData,
                                bool bNextRegister, bool bChained, BissReadSensClass *pRecord,
                                BrokenWrite *pBroken);
    BissEnum eModCBatched(uint32_t ulSlaveId, uint32_t ulAddress, uint32_t *pulCount, uint8_t *pucData,
                          bool bWrite);

    bool bMasterTestComm(uint8_t ucAddress);
    /* True while a master register's last verified write has failed (a failed WriteMasterConfig). */
    bool bMasterConfigFailed() const;
    BissEnum eReadEOT(bool *pbEot);
    static std::string strBin2Str(uint32_t ulValue);

    /* The one wait of the library. fnPoll makes one query and says whether the wait is over; a failed
     * query ends the wait with its result. Past the time limit, counted from ullStart, the wait ends
     * with *pbTimedOut set; with bStopOnTimeout the master is then told to stop (a failed write is
     * returned). POLL_AGAIN polls once more before the time is looked at. */
    enum PollEnum {
        POLL_DONE,
        POLL_WAITING,
        POLL_AGAIN
    };
    using PollFunction = std::function<BissEnum(PollEnum *)>;
    BissEnum eWaitFor(const PollFunction &fnPoll, uint64_t ullStart, bool *pbTimedOut, bool bStopOnTimeout);
    /* Waits for end of transmission. */
    BissEnum eWaitEot(uint64_t ullStart, bool *pbTimedOut, bool bStopOnTimeout = false);
    /* Writes the stop instruction to the instruction register of the master's version. */
    BissEnum eStopMaster();

    /* Helpers of the configuration writer and the start-up handshake. */
    bool bLayout1() const { return eMasterVersion == MASTER_VERSION_1; }
    uint32_t ulChannelCount();
    BissEnum eStopAndWaitEot(BissEnum eOnTimeout, BissEnum eOtherwise);
    /* Register mode B, step by step: count and idle master; slave id, count bits and selector; start and
     * busy wait; end of transmission. */
    BissEnum eModBPrepare(uint32_t ulCount);
    BissEnum eModBAddress(uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulCount);
    BissEnum eModBRun();
    BissEnum eModBWaitEnd(bool bResetCount);

    InterfaceEnum eInterface;
    /* The transport every master access goes through: one of the two adapter objects below, or one
     * that has nothing behind it. Never null. */
    AdapterClass *pAdapter;
    std::unique_ptr<LptPortClass> pLptPort;
    std::unique_ptr<UsbAdapterClass> pUsbAdapter;
    std::unique_ptr<TransferState> pTransferState;

    /* Records and control results of the last eStartBissTransfer. A batched run reads its last cycle
     * whole and keeps it aside (bLastCycleKept) where a stepped run leaves it to be read. */
    std::vector<BissReadSensClass> vecCycles;
    BissReadSensClass lastCycle;
    bool bLastCycleKept = false;
    unsigned uiLastCycleAccesses = 0; /* accesses after its command the last batched cycle took */
    unsigned uiFramePolls = 0;        /* status polls per frame cycle in this mode-C call; 0 not yet known */
    std::vector<uint8_t> *pvecSensAddresses = nullptr; /* when set, the data-memory addresses read */
    std::vector<ControlResult> vecControlResults;
    /* The pending register request (pending while ulReqCount is not 0). */
    uint32_t ulReqSelector = 0;
    uint32_t ulReqReserved = 0;
    uint32_t ulReqSlaveId = 0;
    uint32_t ulReqAddress = 0;
    uint32_t ulReqCount = 0;
    uint32_t bReqWrite = 0;
    std::vector<uint8_t> vecReqData;

    MasterVersionEnum eMasterVersion;
    uint8_t ucMasterId;
    uint8_t ucMasterRevision;
    std::array<uint32_t, 256> aulRegCache;
    /* Entries whose last verified write failed: the register may hold anything, so an unforced write
     * sends them again even when the cache already shows the value. */
    std::array<bool, 256> abRegCacheStale;

    /* Master configuration store, one member per item; per-slave items hold one entry per slave. */
    using SlaveBools = std::array<bool, SLAVE_COUNT>;
    using SlaveValues = std::array<uint32_t, SLAVE_COUNT>;
    uint32_t ulMcLptMode;                                    /* item 0 */
    uint32_t ulMcF5Bit0;                                     /* item 1 */
    uint32_t ulMcE5LowBits;                                  /* item 2 */
    SlaveValues aulMcData1Length;                            /* item 3 */
    SlaveValues aulMcData1CrcHalf;                           /* item 4: polynomial shifted right by one */
    std::array<std::string, SLAVE_COUNT> astrMcData1CrcPoly; /* item 4 as binary-digit text */
    SlaveBools abMcData1Bit7;                                /* item 5 */
    SlaveValues aulMcData2Length;                            /* item 6 */
    SlaveValues aulMcData2CrcHalf;                           /* item 7 */
    std::array<std::string, SLAVE_COUNT> astrMcData2CrcPoly; /* item 7 as binary-digit text */
    SlaveBools abMcData2Bit7;                                /* item 8 */
    uint32_t ulMcStored9;                                    /* item 9, starts at 1 */
    SlaveBools abMcData1FlagA;                               /* item 10 */
    SlaveBools abMcData2FlagA;                               /* item 11 */
    SlaveBools abMcSlaveModeC;                               /* item 12 */
    SlaveBools abMcData1FlagB;                               /* item 13 */
    SlaveBools abMcData2FlagB;                               /* item 15 (item 14 sets it together with 16) */
    SlaveBools abMcStored16;                                 /* item 16 */
    bool bMcE5Bit0;                                          /* item 17 */
    uint32_t ulMcEcValue;                                    /* item 18 */
    std::array<uint8_t, SLAVE_COUNT> aucMcStored19;          /* item 19 */
    uint32_t ulMcE6Low5;                                     /* item 20 */
    uint32_t ulMcE6High3;                                    /* item 21 */
};

#endif
