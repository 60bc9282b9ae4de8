// The class interface of sensor cycles: CRCs over bit texts, unpacking hand-made data-memory images
// for both master versions, cycle runs and the result lists a host gets from them.
#include "sim_fixture.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>

#include "tarnbus/BissClass.h"

namespace {

TEST(CrcGen, ControlFrameAndPositionCrcs)
{
    EXPECT_EQ("1100", BissClass::strCrcGen("1", "11001")) << "CRC bits 0 and 1";
    // Header of a control frame (index 10 first): start, CTS, id 0, address 0 / 0x20.
    EXPECT_EQ("1001", BissClass::strCrcGen("00000000001", "11001"));
    EXPECT_EQ("1100", BissClass::strCrcGen("00000100001", "11001")) << "bits 3..0 read 0011";
    // x^6 + x + 1 as item 4 keeps it (0x43): the published CRC-6 of 0x20 is 0x23, of 0x15 0x3F.
    EXPECT_EQ("110001", BissClass::strCrcGen("000001", "1100001"));
    EXPECT_EQ("111111", BissClass::strCrcGen("101010", "1100001"));
    EXPECT_EQ("", BissClass::strCrcGen("1011", "1"));
    EXPECT_EQ("", BissClass::strCrcGen("1011", ""));
}

class ExtractTest : public SimTest {
protected:
    // A record whose slaves are all valid, unpacked from image by an object of the given version.
    BissReadSensClass extract(BissClass &b, const uint8_t *pucImage, uint8_t ucValid = 0xFF)
    {
        BissReadSensClass record;
        record.ucValidMask = ucValid;
        EXPECT_EQ(BISS_OK, b.eExtractSensData(&record, pucImage));
        return record;
    }
    std::array<uint8_t, 128> aucImage{};
};

TEST_F(ExtractTest, LaterVersionsReadLittleEndianWithPartialBytesAtTheTop)
{
    BissClass b; // no master found yet: the later layout
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_E5_LOW_BITS, 2));
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_DATA1_LENGTH, 13));
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(1, MC_DATA1_LENGTH, 64));
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(2, MC_DATA2_LENGTH, 40));
    aucImage[0] = 0x34;
    aucImage[1] = 0xF2; // only the low 5 bits belong to the word
    for (unsigned i = 0; i < 8; ++i)
        aucImage[8 + i] = static_cast<uint8_t>(i + 1);
    for (unsigned i = 0; i < 5; ++i)
        aucImage[0x50 + i] = static_cast<uint8_t>(0x81 + i);
    aucImage[0x55] = 0xEE; // beyond the 40 bits
    BissReadSensClass r = extract(b, aucImage.data());
    EXPECT_EQ(0x1234u, r.aulScdLow[0]);
    EXPECT_EQ(0x04030201u, r.aulScdLow[1]);
    EXPECT_EQ(0x08070605u, r.aulScdHigh[1]) << "a 64-bit word";
    EXPECT_EQ(0x84838281u, r.aulMcdLow[2]);
    EXPECT_EQ(0x85u, r.aulMcdHigh[2]) << "a word across bit 32";
    EXPECT_EQ(r.aMcd[2], UL64Class(0x85, 0x84838281));
    EXPECT_EQ(0u, r.ulError);

    // A slave whose bit is clear is left out and marked; the others are still unpacked.
    r = extract(b, aucImage.data(), 0x05);
    EXPECT_EQ(5u, r.ulError);
    EXPECT_EQ(0u, r.aulScdLow[1]);
    EXPECT_EQ(0x1234u, r.aulScdLow[0]);
    EXPECT_EQ(0x84838281u, r.aulMcdLow[2]);
}

TEST_F(ExtractTest, VersionOneSplitsTheCrcAndTrailBitOffMostSignificantFirst)
{
    tbsim_set_master(1, 0x3F, 0);
    BissClass b;
    ASSERT_EQ(BISS_OK, b.eSetInterface(INTERFACE_USB, ""));
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_E5_LOW_BITS, 1));
    // Slave 0: 10 bits, no CRC ever set: one whole byte and three bits from the next one down.
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_DATA1_LENGTH, 10));
    aucImage[7] = 0xB3;
    aucImage[6] = 0xFD; // low three bits 101
    BissReadSensClass r = extract(b, aucImage.data());
    EXPECT_EQ(0x2CEu, r.aulScdLow[0]) << "10110011 10|1";
    EXPECT_EQ(1, r.abScdTrailBit[0]);
    EXPECT_EQ(0u, r.aulScdCrc[0]);
    // A polynomial of 0 is the same: no CRC.
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_DATA1_CRCPOLY, 0));
    EXPECT_EQ(0x2CEu, extract(b, aucImage.data()).aulScdLow[0]);
    // Without the extra bit the field is one bit shorter.
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_STORED_9, 0));
    EXPECT_EQ(0x166u, extract(b, aucImage.data()).aulScdLow[0]) << "10110011 0|1";
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_STORED_9, 1));

    // Slave 1: 16 bits with CRC-6 (a 7-bit field below the data), then the trail bit.
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(1, MC_DATA1_LENGTH, 16));
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(1, MC_DATA1_CRCPOLY, 0x43));
    aucImage[15] = 0xBE;
    aucImage[14] = 0xEF;
    aucImage[13] = (0x2A << 1) | 1;
    r = extract(b, aucImage.data());
    EXPECT_EQ(0xBEEFu, r.aulScdLow[1]);
    EXPECT_EQ(0x2Au, r.aulScdCrc[1]);
    EXPECT_EQ(1, r.abScdTrailBit[1]);

    // Second words: 12 bits, the last four in the HIGH half of the next byte down.
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_DATA2_LENGTH, 12));
    aucImage[0x47] = 0xAB;
    aucImage[0x46] = 0xC7;
    EXPECT_EQ(0xABCu, extract(b, aucImage.data()).aulMcdLow[0]);
    // 64 bits plus a CRC field do not fit: the word is cut at 64 bits, the CRC at the bottom.
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(1, MC_DATA2_LENGTH, 64));
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(1, MC_DATA2_CRCPOLY, 0x43));
    for (unsigned i = 0; i < 8; ++i)
        aucImage[0x48 + i] = static_cast<uint8_t>(0x11 * (i + 1));
    aucImage[0x47] = 0xFF; // slave 0's block: must not be read for slave 1
    r = extract(b, aucImage.data());
    EXPECT_EQ(0x11u & 0x7F, r.aulMcdCrc[1]);
    EXPECT_EQ(UL64Class(0x88776655, 0x44332211) >>= 7, r.aMcd[1]);
}

// Through the master: a run of cycles, and the lists a host reads from it.
class CycleListTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        ASSERT_EQ(BISS_OK, b.eSetInterface(INTERFACE_USB, ""));
        vConfigure(1, 24);
        tbsim_clear_logs();
    }
    void vConfigure(uint32_t ulSlaves, uint32_t ulLength2)
    {
        // Slots up to the slave count carry data words (slot 0 always), the others none.
        for (uint32_t s = 0; s < 2; ++s) {
            const bool bUsed = s < std::max<uint32_t>(ulSlaves, 1);
            ASSERT_EQ(BISS_OK, b.eSetMasterConfig(s, MC_DATA1_LENGTH, bUsed ? 10 : 0));
            ASSERT_EQ(BISS_OK, b.eSetMasterConfig(s, MC_DATA2_LENGTH, bUsed ? ulLength2 : 0));
        }
        ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_E5_LOW_BITS, ulSlaves));
        ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_E6_LOW5, 3));
        ASSERT_EQ(BISS_OK, b.eWriteMasterConfig(1));
        ASSERT_EQ(BISS_OK, b.eInitBissComm());
    }
    struct Lists {
        READDATA1 *pScd = nullptr;
        READDATA5 *pMcd = nullptr;
        READDATA8 *pCtr = nullptr;
        ~Lists() { ReleaseDataLists(pScd, pMcd, pCtr); }
    };

    BissClass b;
};

TEST_F(CycleListTest, ListsHoldOneElementPerCycleAndOneEntryPerSlave)
{
    // Slave 1 is not on the line: its slot is configured, so its data are not valid.
    vConfigure(2, 24);
    ASSERT_EQ(BISS_COMM_FAILED, b.eStartBissTransfer(4, 0));
    vConfigure(1, 24);
    const uint64_t ullFirst = tbsim_slave_sensor_value(0, 0);
    ASSERT_EQ(BISS_OK, b.eStartBissTransfer(4, 0));
    {
        Lists l;
        ASSERT_EQ(BISS_OK, b.eReadData(&l.pScd, &l.pMcd, &l.pCtr));
        ASSERT_NE(nullptr, l.pScd);
        EXPECT_EQ(3u, l.pScd[0].ulCount) << "cycles after the first are read; the last one is started";
        for (uint32_t c = 0; c < 3; ++c) {
            const SLAVEDATA *pEntries = *l.pScd[c].ppEntries;
            EXPECT_EQ(1u, pEntries[0].ulCount);
            EXPECT_EQ(1u, pEntries[0].ulValid) << "1 << 0";
            EXPECT_EQ((ullFirst + 3 * c) % 1024, pEntries[0].ulLow);
            EXPECT_EQ(0x72u, l.pScd[c].ulStatus & 0x72) << "the master status of the cycle";
        }
        ASSERT_NE(nullptr, l.pMcd) << "every cycle brought second words";
        EXPECT_EQ(3u, l.pMcd[0].ulCount);
        EXPECT_EQ(nullptr, l.pCtr) << "no register frame";
    }
    EXPECT_EQ(5u, tbsim_cycle_log_count()) << "the failed run's cycle, then four, the last one read whole";

    // Without second words no cycle enters the MCD list, and the pointer stays as it was.
    vConfigure(1, 0);
    ASSERT_EQ(BISS_OK, b.eStartBissTransfer(2, 0));
    Lists l;
    READDATA5 sentinel{};
    l.pMcd = &sentinel;
    ASSERT_EQ(BISS_OK, b.eReadData(&l.pScd, &l.pMcd, &l.pCtr));
    EXPECT_EQ(&sentinel, l.pMcd);
    l.pMcd = nullptr;
    EXPECT_EQ(1u, l.pScd[0].ulCount);
}

TEST_F(CycleListTest, SlaveCountZeroMakesNoCycleLists)
{
    vConfigure(0, 24);
    ASSERT_EQ(BISS_OK, b.eStartBissTransfer(3, 0));
    Lists l;
    ASSERT_EQ(BISS_OK, b.eReadData(&l.pScd, &l.pMcd, &l.pCtr));
    EXPECT_EQ(nullptr, l.pScd);
    EXPECT_EQ(nullptr, l.pMcd);

    BissClass none;
    EXPECT_EQ(BISS_INVALID_INTERFACE, none.eReadData(&l.pScd, &l.pMcd, &l.pCtr));
    EXPECT_EQ(BISS_INVALID_INTERFACE, none.eStartBissTransfer(1, 0));
}

TEST_F(CycleListTest, WithoutStoredCyclesTheEndedCycleIsReadNow)
{
    vConfigure(1, 24);
    ASSERT_EQ(BISS_OK, b.eStartBissTransfer(1, 0)) << "one cycle started, none read";
    uint32_t ulCount = 0;
    ASSERT_EQ(BISS_OK, b.eReadStatus(&ulCount));
    EXPECT_EQ(1u, ulCount) << "the cycle has ended: the first query counts it";
    ASSERT_EQ(BISS_OK, b.eReadStatus(&ulCount));
    EXPECT_EQ(2u, ulCount) << "an ended cycle counts on every call";
    ASSERT_EQ(BISS_OK, b.eReadStatus(&ulCount));
    EXPECT_EQ(3u, ulCount);
    Lists l;
    ASSERT_EQ(BISS_OK, b.eReadData(&l.pScd, &l.pMcd, &l.pCtr));
    ASSERT_NE(nullptr, l.pScd);
    EXPECT_EQ(1u, l.pScd[0].ulCount);
    EXPECT_EQ(1u, l.pMcd[0].ulCount);
}

// Three slaves, the middle one's first word with a wrong CRC: each slave's entry carries its own valid
// bit (the even bits of the master's valid registers), the second words stay valid.
TEST_F(SimTest, APartlyValidCycleMarksEachSlaveByItsOwnBit)
{
    const std::string strFile = ::testing::TempDir() + "three_valid.scn";
    std::ofstream(strFile)
        << "slave1 = registers\nslave1.value1 = 7\nslave2 = registers\nslave2.value1 = 9\n";
    ASSERT_EQ(0, tbsim_load_scenario(strFile.c_str())) << tbsim_last_error();
    BissClass b;
    ASSERT_EQ(BISS_OK, b.eSetInterface(INTERFACE_USB, ""));
    for (uint32_t s = 0; s < 3; ++s) {
        ASSERT_EQ(BISS_OK, b.eSetMasterConfig(s, MC_DATA1_LENGTH, 10));
        ASSERT_EQ(BISS_OK, b.eSetMasterConfig(s, MC_DATA1_CRCPOLY, 0x43));
        ASSERT_EQ(BISS_OK, b.eSetMasterConfig(s, MC_DATA2_LENGTH, 24));
        ASSERT_EQ(BISS_OK, b.eSetMasterConfig(s, MC_DATA2_CRCPOLY, 0x43));
    }
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_E5_LOW_BITS, 3));
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_E6_LOW5, 4));
    ASSERT_EQ(BISS_OK, b.eWriteMasterConfig(1));
    ASSERT_EQ(BISS_OK, b.eInitBissComm());
    tbsim_set_fault(TBSIM_CRC_ERROR, 1, 1);
    EXPECT_EQ(BISS_COMM_FAILED, b.eStartBissTransfer(2, 0));
    READDATA1 *pScd = nullptr;
    READDATA5 *pMcd = nullptr;
    READDATA8 *pCtr = nullptr;
    ASSERT_EQ(BISS_OK, b.eReadData(&pScd, &pMcd, &pCtr));
    ASSERT_NE(nullptr, pScd);
    ASSERT_NE(nullptr, pMcd);
    const SLAVEDATA *pFirst = *pScd[0].ppEntries;
    const SLAVEDATA *pSecond = *pMcd[0].ppEntries;
    EXPECT_EQ(1u, pFirst[0].ulValid);
    EXPECT_EQ(0u, pFirst[1].ulValid) << "the first word with the wrong CRC";
    EXPECT_NE(0u, pFirst[2].ulValid) << "slave 2 by its own bit, not slave 1's";
    for (uint32_t s = 0; s < 3; ++s)
        EXPECT_NE(0u, pSecond[s].ulValid) << "every second word is valid: " << s;
    ReleaseDataLists(pScd, pMcd, pCtr);
}

TEST_F(CycleListTest, RegisterRequestsAreCheckedBeforeAnythingIsPending)
{
    DATAITEM aItems[3] = {{3, 0x11}, {0, 0x22}, {0, 0x33}};
    DATAITEM *pItems = aItems;
    WRITEDATA8 request{1, 0, 0, 0, 128, 1, 0, nullptr};
    WRITEDATA8 *pRequest = &request;
    EXPECT_EQ(BISS_INVALID_PARAMETER, b.eWriteData(nullptr, nullptr, &pRequest)) << "address 128";
    request.ulAddress = 5;
    request.ulSlaveId = 8;
    EXPECT_EQ(BISS_INVALID_PARAMETER, b.eWriteData(nullptr, nullptr, &pRequest));
    request.ulSlaveId = 0;
    request.bWrite = 1;
    EXPECT_EQ(BISS_INVALID_PARAMETER, b.eWriteData(nullptr, nullptr, &pRequest)) << "no items";
    request.ppItems = &pItems;
    request.ulRegCount = 4;
    EXPECT_EQ(BISS_INVALID_PARAMETER, b.eWriteData(nullptr, nullptr, &pRequest)) << "more than the items";
    request.ulRegCount = 129;
    EXPECT_EQ(BISS_INVALID_PARAMETER, b.eWriteData(nullptr, nullptr, &pRequest));
    EXPECT_EQ(BISS_INVALID_PARAMETER, b.eWriteData(nullptr, nullptr, nullptr));
    // Nothing refused stayed pending: the next run is a plain run of cycles.
    EXPECT_EQ(BISS_OK, b.eStartBissTransfer(2, 0));
    request.ulRegCount = 3;
    EXPECT_EQ(BISS_OK, b.eWriteData(nullptr, nullptr, &pRequest));
    request.ulRegCount = 0;
    EXPECT_EQ(BISS_OK, b.eWriteData(nullptr, nullptr, &pRequest)) << "a count of 0 cancels";
    EXPECT_EQ(BISS_OK, b.eStartBissTransfer(2, 0));
}

TEST_F(CycleListTest, CountingFlaggedCyclesEndsWhenNoneComes)
{
    vConfigure(1, 24);
    ASSERT_EQ(BISS_OK, b.eStartBissTransfer(3, 1)) << "every cycle brings second words";
    vConfigure(1, 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(BISS_TIMEOUT, b.eStartBissTransfer(3, 1)) << "cycles run, but none is flagged";
    const double dTook = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(dTook, 0.9);
    EXPECT_LT(dTook, 10.0);
}

TEST_F(CycleListTest, AutomaticCyclesAreHeldWhileTheirDataAreRead)
{
    vConfigure(1, 0);
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_LPT_MODE, 1));
    ASSERT_EQ(BISS_OK, b.eStartBissTransfer(1, 0));
    EXPECT_NE(std::string::npos, strWrites().find("F4=01"));
    Lists l;
    uint32_t ulFirst = 0;
    for (int i = 0; i < 20 && !l.pScd; ++i) {
        ASSERT_EQ(BISS_OK, b.eReadData(&l.pScd, &l.pMcd, &l.pCtr));
        if (l.pScd && !(*l.pScd[0].ppEntries)[0].ulValid) {
            ReleaseDataLists(l.pScd, nullptr, nullptr);
            l.pScd = nullptr; // no cycle had ended yet
        }
    }
    ASSERT_NE(nullptr, l.pScd);
    ulFirst = (*l.pScd[0].ppEntries)[0].ulLow;
    const std::string strHeld = strWrites();
    EXPECT_NE(std::string::npos, strHeld.find("F4=41 F4=01")) << "held around the data read: " << strHeld;
    Lists later;
    ASSERT_EQ(BISS_OK, b.eReadData(&later.pScd, &later.pMcd, &later.pCtr));
    EXPECT_NE(ulFirst, (*later.pScd[0].ppEntries)[0].ulLow) << "the master went on meanwhile";
    ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_LPT_MODE, 2));
    ASSERT_EQ(BISS_OK, b.eStartBissTransfer(1, 0));
    EXPECT_EQ("F4=00", strWrites().substr(strWrites().size() - 5)) << "stopped";
}

} // namespace

namespace {

// A cycle whose answers are lost (one device read fails) ends the run; going on would read the
// previous cycle again and record it as new.
TEST_F(SimTest, AFailedCycleEndsTheRun)
{
    auto prepare = [](BissClass &b) {
        ASSERT_EQ(BISS_OK, b.eSetInterface(INTERFACE_USB, ""));
        ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_DATA1_LENGTH, 10));
        ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_E5_LOW_BITS, 1));
        ASSERT_EQ(BISS_OK, b.eSetMasterConfig(0, MC_E6_LOW5, 2));
        ASSERT_EQ(BISS_OK, b.eWriteMasterConfig(1));
        tbsim_clear_logs();
    };
    // The device reads of a run of two cycles; the last of them belongs to the second cycle.
    uint64_t ullReads = 0;
    {
        BissClass b;
        prepare(b);
        ASSERT_EQ(BISS_OK, b.eStartBissTransfer(2, 0));
        tbsim_counters c;
        tbsim_get_counters(&c);
        ullReads = c.reads;
        ASSERT_EQ(2u, ullReads) << "one exchange per cycle";
    }
    tbsim_reset_default();
    BissClass b;
    prepare(b);
    tbsim_set_fault(TBSIM_DEVICE_READ_FAILS, 1, static_cast<uint32_t>(ullReads - 1));
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, b.eStartBissTransfer(3, 0));
    READDATA1 *pScd = nullptr;
    READDATA5 *pMcd = nullptr;
    READDATA8 *pCtr = nullptr;
    ASSERT_EQ(BISS_OK, b.eReadData(&pScd, &pMcd, &pCtr));
    ASSERT_NE(nullptr, pScd);
    EXPECT_EQ(1u, pScd[0].ulCount) << "the one cycle read before the failed one, not twice";
    ReleaseDataLists(pScd, pMcd, pCtr);
    EXPECT_EQ(2u, tbsim_cycle_log_count()) << "no third cycle was started";
}

} // namespace
