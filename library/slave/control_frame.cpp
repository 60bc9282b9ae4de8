// The register control frame, step by step. A frame is a header (start bit, register-access bit, slave
// id, address, complemented CRC-4), the read/write bits, and the data phase: in a write the master
// sends the byte and its CRC and the slave echoes every bit one cycle later; in a read the slave sends
// its start bit, the byte and its CRC. A following register of the same request skips the header.
#include "control_frame.h"

#include <algorithm>
#include <vector>

#include "tarnbus/BissClass.h"

namespace tarnbus {

namespace {

const std::string CRC4_GENERATOR = "11001"; // x^4 + x + 1
constexpr size_t HEADER_BITS = 11;          // register-access bit, 3 id bits, 7 address bits
constexpr size_t CRC_BITS = 4;
constexpr size_t DATA_BITS = 8;

constexpr uint8_t LAST_READ_STEP = 33;
constexpr uint8_t LAST_WRITE_STEP = 44;
constexpr uint8_t LAST_CHAINED_WRITE_STEP = 31;

uint8_t ucBitCommand(bool bBit)
{
    return bBit ? CMD_BIT_1 : CMD_BIT_0;
}

// CRC bits go out complemented: a '1' is sent as a 0.
uint8_t ucCrcCommand(const std::string &strCrc, size_t uiIndex)
{
    return strCrc[uiIndex] == '1' ? CMD_BIT_0 : CMD_BIT_1;
}

// The level the slave echoes for a CRC bit it has received (itself complemented).
uint8_t ucCrcEcho(const std::string &strCrc, size_t uiIndex)
{
    return strCrc[uiIndex] == '1' ? 0 : CDS_HIGH;
}

void vRecordBit(TransferState &state, size_t uiPosition, bool bBit)
{
    state.strFrameBits[uiPosition] = bBit ? '1' : '0';
}

std::string strDataCrc(const TransferState &state)
{
    return BissClass::strCrcGen(state.strFrameBits.substr(0, DATA_BITS), CRC4_GENERATOR);
}

void vEndWithError(TransferState &state, uint32_t ulError, FrameOutcome *pOutcome)
{
    pOutcome->ulError = ulError;
    state.ucFrameMode = FRAME_IDLE;
    state.bFrameDone = false;
}

void vComplete(TransferState &state, FrameOutcome *pOutcome)
{
    pOutcome->bComplete = true;
    pOutcome->ucRegisterData = state.ucShiftData;
    state.ucFrameMode = FRAME_IDLE;
    state.bFrameDone = false;
    ++state.ucFramesDone;
}

// Steps 16 on of a write frame; returns the command and whether it is the frame's last.
uint8_t ucWriteStep(TransferState &state, uint8_t ucStep, uint8_t ucStep19Zero, bool *pbLast)
{
    if (ucStep == 16)
        return CMD_BIT_0; // read bit
    if (ucStep == 17) {
        state.ucExpectedCds = 0;
        return CMD_BIT_1; // write bit
    }
    if (ucStep == 18) {
        // The echo of the write bit; a following register echoes the last 0 of the register before.
        const bool bHeaderSent = state.strFrameBits[HEADER_BITS - 1] == '1';
        state.ucExpectedCds = bHeaderSent ? CDS_HIGH : 0;
        return CMD_BIT_1; // start of the data
    }
    if (ucStep == 19) {
        const bool bBit = state.ucShiftData & 0x80;
        vRecordBit(state, DATA_BITS - 1, bBit);
        state.ucExpectedCds = CDS_HIGH; // the slave's start bit
        return bBit ? CMD_BIT_1 : ucStep19Zero;
    }
    if (ucStep <= 26) {
        state.ucExpectedCds = (state.ucShiftData & 0x80) >> 1; // echo of the bit before
        state.ucShiftData = static_cast<uint8_t>(state.ucShiftData << 1);
        const bool bBit = state.ucShiftData & 0x80;
        vRecordBit(state, 26 - ucStep, bBit);
        if (ucStep == 26)
            state.strTxCrc = strDataCrc(state);
        return ucBitCommand(bBit);
    }
    if (ucStep <= 30) {
        state.ucExpectedCds =
            ucStep == 27 ? (state.ucShiftData & 0x80) >> 1 : ucCrcEcho(state.strTxCrc, 31 - ucStep);
        return ucCrcCommand(state.strTxCrc, 30 - ucStep);
    }
    state.ucExpectedCds = ucStep == 31 ? ucCrcEcho(state.strTxCrc, 0) : 0;
    *pbLast = ucStep >= LAST_WRITE_STEP || (ucStep == LAST_CHAINED_WRITE_STEP && state.ucMoreRegisters);
    return CMD_BIT_0;
}

// Steps 16 on of a read frame.
uint8_t ucReadStep(TransferState &state, uint8_t ucStep, uint8_t ucStep19Zero, bool *pbLast)
{
    switch (ucStep) {
    case 16:
        return CMD_BIT_1; // read bit
    case 17:
        state.ucExpectedCds = CDS_HIGH;
        return CMD_BIT_0; // write bit
    case 18:
        state.ucExpectedCds = 0;
        return CMD_BIT_1;
    default:
        state.ucExpectedCds = CDS_HIGH;
        *pbLast = ucStep >= LAST_READ_STEP;
        return ucStep == 19 ? ucStep19Zero : CMD_BIT_0;
    }
}

// The slave has not sent its start bit yet: step 19 goes out again, a limited number of times.
void vAwaitStartBit(TransferState &state, FrameOutcome *pOutcome)
{
    if (state.ucStartRetries >= FRAME_START_RETRIES) {
        vEndWithError(state, FRAME_ERROR_NO_START, pOutcome);
        return;
    }
    ++state.ucStartRetries;
    state.ucFrameStep = 19;
}

void vCheckRead(TransferState &state, uint8_t ucStep, bool bCds, FrameOutcome *pOutcome)
{
    const bool bMismatch = (bCds ? CDS_HIGH : 0) != state.ucExpectedCds;
    if (ucStep <= 19) {
        if (!bMismatch)
            return;
        if (ucStep == 19) {
            vAwaitStartBit(state, pOutcome);
            return;
        }
        pOutcome->ucFailStep = ucStep;
        vEndWithError(state, FRAME_ERROR_NO_ACK, pOutcome);
        return;
    }
    if (ucStep <= 27) {
        state.ucShiftData = static_cast<uint8_t>((state.ucShiftData << 1) | (bCds ? 1 : 0));
        vRecordBit(state, 27 - ucStep, bCds);
        return;
    }
    if (ucStep > 31)
        return;
    state.strRxCrc[31 - ucStep] = bCds ? '0' : '1'; // sent complemented
    if (ucStep < 31)
        return;
    state.strTxCrc = strDataCrc(state);
    if (state.strTxCrc != state.strRxCrc) {
        vEndWithError(state, FRAME_ERROR_CRC, pOutcome);
        return;
    }
    // A chained read goes on with the next register straight after the check.
    if (state.ucMoreRegisters)
        vComplete(state, pOutcome);
}

void vCheckWrite(TransferState &state, uint8_t ucStep, bool bCds, FrameOutcome *pOutcome)
{
    if ((bCds ? CDS_HIGH : 0) == state.ucExpectedCds || ucStep == 32)
        return;
    if (ucStep == 19) {
        vAwaitStartBit(state, pOutcome);
        return;
    }
    pOutcome->ucFailStep = ucStep;
    vEndWithError(state, FRAME_ERROR_NO_ACK, pOutcome);
}

} // namespace

namespace {

constexpr uint8_t STEP_DATA_START = 18; // the slave enters the data phase of a write
constexpr unsigned WORD_BITS = 12;      // the data byte and its CRC-4

// The twelve bits a write sends for its byte, as they go on the line: the data most significant bit
// first, then the CRC complemented.
std::vector<bool> vecWireWord(uint8_t ucData)
{
    std::string strData(8, '0');
    for (unsigned k = 0; k < 8; ++k)
        strData[k] = (ucData >> k) & 1 ? '1' : '0';
    const std::string strCrc = BissClass::strCrcGen(strData, CRC4_GENERATOR);
    std::vector<bool> vec;
    for (int k = 7; k >= 0; --k)
        vec.push_back((ucData >> k) & 1);
    for (int i = 3; i >= 0; --i)
        vec.push_back(strCrc[static_cast<size_t>(i)] != '1');
    return vec;
}

// Whether a slave that received these twelve bits would take them as a byte with its CRC.
bool bWordCommits(const std::vector<bool> &vecWord)
{
    std::string strData(8, '0');
    for (unsigned k = 0; k < 8; ++k)
        strData[k] = vecWord[7 - k] ? '1' : '0';
    const std::string strCrc = BissClass::strCrcGen(strData, CRC4_GENERATOR);
    for (unsigned i = 0; i < 4; ++i)
        if (vecWord[8 + i] == (strCrc[3 - i] == '1'))
            return false;
    return true;
}

} // namespace

std::vector<bool> vecFinishingBits(uint8_t ucData, int iFirstSent, int iLastSent)
{
    const std::vector<bool> vecWord = vecWireWord(ucData);
    std::vector<unsigned> vecHave; // data-word bits the slave may hold
    for (int t = std::max(iFirstSent, int(STEP_DATA_START)); t <= iLastSent; ++t) {
        const int j = t - STEP_DATA_START;
        if (j < int(WORD_BITS))
            vecHave.push_back(static_cast<unsigned>(j));
    }
    if (vecHave.empty())
        return {};
    const unsigned uiLength = WORD_BITS - vecHave.front();
    for (uint32_t ulBits = 0; ulBits < (1u << uiLength); ++ulBits) {
        const bool bFails = std::all_of(vecHave.begin(), vecHave.end(), [&](unsigned j) {
            std::vector<bool> vecGot(vecWord.begin(), vecWord.begin() + j);
            for (unsigned i = 0; vecGot.size() < WORD_BITS; ++i)
                vecGot.push_back((ulBits >> i) & 1);
            return !bWordCommits(vecGot);
        });
        if (bFails) {
            std::vector<bool> vec;
            for (unsigned i = 0; i < uiLength; ++i)
                vec.push_back((ulBits >> i) & 1);
            return vec;
        }
    }
    return {}; // never: a pattern always exists for these lengths
}

void vStartFrame(TransferState &state, uint8_t ucMode, uint8_t ucSlaveId, uint8_t ucAddress, uint8_t ucData,
                 bool bNextRegister)
{
    state.ucFrameMode = ucMode;
    state.ucFrameSlaveId = ucSlaveId;
    state.ucFrameAddress = ucAddress;
    state.ucShiftData = ucMode == FRAME_WRITE ? ucData : 0;
    state.ucWriteByte = state.ucShiftData;
    state.ucFrameStep = bNextRegister ? FRAME_STEP_NEXT_REGISTER : 0;
    state.ucStartRetries = 0;
    state.strFrameBits.assign(HEADER_BITS, '0');
    state.strRxCrc.assign(CRC_BITS, '0');
    state.strTxCrc.assign(CRC_BITS, '0');
    state.bFrameDone = false;
}

uint8_t ucFrameCommand(TransferState &state, uint8_t ucStep19Zero)
{
    const uint8_t ucStep = state.ucFrameStep;
    bool bLast = false;
    uint8_t ucCommand;
    if (ucStep <= 1) {
        vRecordBit(state, HEADER_BITS - 1, true); // start bit, then the register-access bit
        ucCommand = CMD_BIT_1;
    } else if (ucStep <= 4) {
        const bool bBit = state.ucFrameSlaveId & 0x04;
        state.ucFrameSlaveId = static_cast<uint8_t>(state.ucFrameSlaveId << 1);
        vRecordBit(state, 11 - ucStep, bBit);
        ucCommand = ucBitCommand(bBit);
    } else if (ucStep <= 11) {
        const bool bBit = state.ucFrameAddress & 0x40;
        state.ucFrameAddress = static_cast<uint8_t>(state.ucFrameAddress << 1);
        vRecordBit(state, 11 - ucStep, bBit);
        if (ucStep == 11)
            state.strTxCrc = BissClass::strCrcGen(state.strFrameBits, CRC4_GENERATOR);
        ucCommand = ucBitCommand(bBit);
    } else if (ucStep <= 15) {
        ucCommand = ucCrcCommand(state.strTxCrc, 15 - ucStep);
    } else if (state.ucFrameMode == FRAME_WRITE) {
        ucCommand = ucWriteStep(state, ucStep, ucStep19Zero, &bLast);
    } else {
        ucCommand = ucReadStep(state, ucStep, ucStep19Zero, &bLast);
    }
    if (bLast)
        state.bFrameDone = true;
    state.ucFrameStep = static_cast<uint8_t>(ucStep + 1);
    return ucCommand;
}

bool bFrameCdsDue(const TransferState &state)
{
    return state.ucFrameMode != FRAME_IDLE && state.ucFrameStep >= 18 && state.ucFrameStep <= 33;
}

void vEvaluateFrameCycle(TransferState &state, bool bCds, bool bCheck, FrameOutcome *pOutcome)
{
    *pOutcome = FrameOutcome();
    if (state.ucFrameMode == FRAME_IDLE) {
        state.bFrameDone = false;
        return;
    }
    if (bCheck && bFrameCdsDue(state)) {
        const uint8_t ucStep = static_cast<uint8_t>(state.ucFrameStep - 1); // the step this cycle carried
        if (state.ucFrameMode == FRAME_READ)
            vCheckRead(state, ucStep, bCds, pOutcome);
        else
            vCheckWrite(state, ucStep, bCds, pOutcome);
        if (state.ucFrameMode == FRAME_IDLE)
            return;
    }
    if (state.bFrameDone)
        vComplete(state, pOutcome);
}

void vAbandonFrame(TransferState &state)
{
    state.ucFrameMode = FRAME_IDLE;
    state.bFrameDone = false;
}

} // namespace tarnbus
