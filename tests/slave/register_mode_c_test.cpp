// Register mode C through the flat interface, against the simulated adapter whose encoder answers the
// control frame bit by bit: what reaches the wire, what the encoder keeps, and how failures come back.
#include "sim_fixture.h"

namespace {

using Commands = std::vector<int>;

class RegisterModeCTest : public SimTest {
protected:
    // Opened, started, slave 0 in register mode C; the logs start empty.
    uint32_t ulOpenModeC()
    {
        const uint32_t h = ulOpen();
        vStartLine(h, true);
        tbsim_clear_logs();
        return h;
    }

    // The cycle commands the master took (writes of 2, 4 or 6 to its instruction register), from the
    // first frame bit (a 2) on.
    static Commands frameCommands()
    {
        Commands vec;
        tbsim_master_access a;
        for (size_t i = 0; tbsim_master_log_get(i, &a) == 0; ++i)
            if (a.op == 'W' && a.address == 0xF4 && (a.value == 2 || a.value == 4 || a.value == 6))
                if (!vec.empty() || a.value == 2)
                    vec.push_back(a.value);
        return vec;
    }

    static std::string strHex(unsigned uiValue)
    {
        char ac[8];
        std::snprintf(ac, sizeof ac, "0x%02X", uiValue);
        return ac;
    }

    static std::vector<std::string> controlLog()
    {
        std::vector<std::string> vec;
        for (size_t i = 0; i < tbsim_control_log_count(); ++i)
            vec.push_back(tbsim_control_log_get(i));
        return vec;
    }

    // A header as the wire carries it: start, register access, id, address, CRC (most significant
    // first, complemented on the wire).
    static Commands header(int iId, int iAddress, const char *strCrc)
    {
        Commands vec{2, 2};
        for (int i = 2; i >= 0; --i)
            vec.push_back((iId >> i) & 1 ? 2 : 4);
        for (int i = 6; i >= 0; --i)
            vec.push_back((iAddress >> i) & 1 ? 2 : 4);
        for (const char *p = strCrc; *p; ++p)
            vec.push_back(*p == '1' ? 4 : 2);
        return vec;
    }
};

} // namespace

TEST_F(RegisterModeCTest, OneRegisterReadAndWriteOnTheWire)
{
    const uint32_t h = ulOpenModeC();
    uint8_t uc = 0;
    uint32_t ulCount = 1;
    ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 0x20, &ulCount, &uc));
    EXPECT_EQ(tbsim_slave_get(0, 0x20), uc);
    EXPECT_EQ(1u, ulCount);
    Commands vecRead = header(0, 0x20, "0011");
    vecRead.insert(vecRead.end(), {2, 4, 2, 6});
    vecRead.insert(vecRead.end(), 14, 4);
    EXPECT_EQ(vecRead, frameCommands());
    EXPECT_EQ((std::vector<std::string>{"slave 0 read 0x20 = 0x01"}), controlLog());

    tbsim_clear_logs();
    uc = 0x5A;
    ASSERT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 0x00, &ulCount, &uc, 0xFF));
    EXPECT_EQ(0x5A, tbsim_slave_get(0, 0x00));
    // Header of register 0 (CRC 1001), read bit 0, write bit 1, start, 0x5A (its first 0 as 6), CRC
    // 1111 complemented, fourteen 0s.
    Commands vecWrite = header(0, 0x00, "1001");
    vecWrite.insert(vecWrite.end(), {4, 2, 2, 6, 2, 4, 2, 2, 4, 2, 4, 4, 4, 4, 4});
    vecWrite.insert(vecWrite.end(), 14, 4);
    EXPECT_EQ(vecWrite, frameCommands());
    EXPECT_EQ((std::vector<std::string>{"slave 0 write 0x00 = 0x5A"}), controlLog());
}

TEST_F(RegisterModeCTest, ChainedReadAndWriteGoOnWithoutANewHeader)
{
    const uint32_t h = ulOpenModeC();
    Bytes vec(3);
    uint32_t ulCount = 3;
    ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 49, &ulCount, vec.data()));
    EXPECT_EQ(encoder(49, 3), vec);
    // First register to its CRC (32 cycles), the middle one from its start bit (14), the last to its end (16).
    EXPECT_EQ(32u + 14 + 16, frameCommands().size());
    EXPECT_EQ(3u, controlLog().size());

    tbsim_clear_logs();
    Bytes vecNew{0x11, 0x22, 0x33};
    ASSERT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 16, &ulCount, vecNew.data(), 0xFF));
    EXPECT_EQ(32u + 14 + 27, frameCommands().size());
    EXPECT_EQ(vecNew, encoder(16, 3));
    EXPECT_EQ((std::vector<std::string>{"slave 0 write 0x10 = 0x11", "slave 0 write 0x11 = 0x22",
                                        "slave 0 write 0x12 = 0x33"}),
              controlLog());
}

TEST_F(RegisterModeCTest, RatingPlateReadsAsInRegisterModeB)
{
    const uint32_t h = ulOpenModeC();
    Bytes vecC(24), vecB(24);
    uint32_t ulCount = 24;
    ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 32, &ulCount, vecC.data()));
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_SLAVE_MODE_C, 0));
    ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 32, &ulCount, vecB.data()));
    EXPECT_EQ(vecB, vecC);
    EXPECT_EQ(encoder(32, 24), vecC);
}

TEST_F(RegisterModeCTest, OnTheParallelPortTheCycleStepsCarryTheFrames)
{
    for (int iWiring : {1, 2, 3}) {
        SCOPED_TRACE(iWiring);
        tbsim_reset_default();
        tbsim_set_port(0x378, iWiring);
        const uint32_t h = ulOpen(INTERFACE_LPT1 + iWiring - 1, BISS_OK, "0x378");
        vStartLine(h, false);

        Bytes vecB(8), vecC(8);
        uint32_t ulCount = 8;
        ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 32, &ulCount, vecB.data()));
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_SLAVE_MODE_C, 1));
        tbsim_clear_logs();
        ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 32, &ulCount, vecC.data()));
        EXPECT_EQ(8u, ulCount);
        EXPECT_EQ(vecB, vecC);
        EXPECT_EQ(8u, controlLog().size()) << "the bytes came through control frames";

        Bytes vecNew{0x3A, 0xA3};
        ulCount = 2;
        ASSERT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 20, &ulCount, vecNew.data(), 0xFF));
        EXPECT_EQ(vecNew, encoder(20, 2));

        // A slave that does not answer ends the cycle run.
        tbsim_set_fault(TBSIM_CONTROL_FOREIGN_ID, 1, 4);
        ulCount = 1;
        EXPECT_EQ(BISS_COMM_FAILED, WriteSlaveRegister(h, 0, 0, 20, &ulCount, vecNew.data(), 0xFF));
        EXPECT_EQ(vecNew, encoder(20, 2));
        vCloseAll();
    }
}

// On the parallel port a register call that gives up (the slave never got ready) leaves no frame for
// later sensor cycles to finish.
TEST_F(RegisterModeCTest, OnTheParallelPortACallThatGivesUpLeavesNoFrameBehind)
{
    tbsim_set_port(0x378, 1);
    const uint32_t h = ulOpen(INTERFACE_LPT1, BISS_OK, "0x378");
    vStartLine(h, true);
    tbsim_set_fault(TBSIM_CONTROL_NEVER_READY, 1, 0);
    uint8_t uc = 0;
    uint32_t ulCount = 1;
    EXPECT_EQ(BISS_TIMEOUT, ReadSlaveRegister(h, 0, 0, 0x20, &ulCount, &uc));
    tbsim_set_fault(TBSIM_CONTROL_NEVER_READY, 0, 0);
    tbsim_clear_logs();
    uint32_t ulScd = 0, ulMcd = 0;
    bool bValid = false;
    for (int i = 0; i < 60; ++i)
        ReadSens(h, &ulScd, &ulMcd, &bValid);
    EXPECT_EQ(std::vector<std::string>{}, controlLog()) << "no frame was finished by the sensor cycles";
}

TEST_F(RegisterModeCTest, WriteChangesExactlyTheRegistersAskedAndThePlateStaysReadOnly)
{
    const uint32_t h = ulOpenModeC();
    const Bytes vecBefore = encoder(0, 128);
    Bytes vecNew{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6};
    uint32_t ulCount = 6;
    ASSERT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 16, &ulCount, vecNew.data(), 0xFF));
    Bytes vecExpected = vecBefore;
    std::copy(vecNew.begin(), vecNew.end(), vecExpected.begin() + 16);
    EXPECT_EQ(vecExpected, encoder(0, 128));

    uint8_t uc = 0x00;
    ulCount = 1;
    WriteSlaveRegister(h, 0, 0, 40, &ulCount, &uc, 0xFF);
    EXPECT_EQ(vecExpected, encoder(0, 128)) << "the rating plate does not change";
}

TEST_F(RegisterModeCTest, StartDelayUpToTheLimitPassesOneMoreFails)
{
    const uint32_t h = ulOpenModeC();
    uint8_t uc = 0;
    uint32_t ulCount = 1;
    tbsim_set_fault(TBSIM_CONTROL_START_DELAY, 1, 100);
    EXPECT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 32, &ulCount, &uc));
    EXPECT_EQ(1, uc);
    uc = 0x42;
    EXPECT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 1, &ulCount, &uc, 0xFF));
    EXPECT_EQ(0x42, tbsim_slave_get(0, 1));

    tbsim_set_fault(TBSIM_CONTROL_START_DELAY, 1, 101);
    EXPECT_EQ(BISS_REGERROR, ReadSlaveRegister(h, 0, 0, 32, &ulCount, &uc));
    ulCount = 1;
    uc = 0x43;
    EXPECT_EQ(BISS_REGERROR, WriteSlaveRegister(h, 0, 0, 1, &ulCount, &uc, 0xFF));
    EXPECT_EQ(0u, ulCount);
    EXPECT_EQ(0x42, tbsim_slave_get(0, 1));

    // The slave is idle again afterwards: the next register goes through.
    tbsim_set_fault(TBSIM_CONTROL_START_DELAY, 0, 0);
    ulCount = 1;
    EXPECT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 1, &ulCount, &uc));
    EXPECT_EQ(0x42, uc);
}

TEST_F(RegisterModeCTest, BadCrcFlippedCdsAndForeignIdAreRegisterErrors)
{
    const uint32_t h = ulOpenModeC();
    struct {
        tbsim_fault eFault;
        uint32_t ulArg;
    } aFaults[] = {{TBSIM_CONTROL_BAD_CRC, 0},
                   {TBSIM_CONTROL_CDS_FLIP, 17},
                   {TBSIM_CONTROL_CDS_FLIP, 22},
                   {TBSIM_CONTROL_FOREIGN_ID, 3}};
    for (auto f : aFaults) {
        tbsim_set_fault(f.eFault, 1, f.ulArg);
        Bytes vec(4, 0xEE);
        uint32_t ulCount = 4;
        EXPECT_EQ(BISS_REGERROR, ReadSlaveRegister(h, 0, 0, 32, &ulCount, vec.data())) << f.eFault;
        tbsim_set_fault(f.eFault, 0, 0);
        ulCount = 4;
        EXPECT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 32, &ulCount, vec.data())) << f.eFault;
        EXPECT_EQ(encoder(32, 4), vec);
    }
    // A write the slave does not echo.
    tbsim_set_fault(TBSIM_CONTROL_FOREIGN_ID, 1, 3);
    uint8_t uc = 0x77;
    uint32_t ulCount = 1;
    EXPECT_EQ(BISS_REGERROR, WriteSlaveRegister(h, 0, 0, 2, &ulCount, &uc, 0xFF));
    EXPECT_NE(0x77, tbsim_slave_get(0, 2));
}

TEST_F(RegisterModeCTest, ChainedWriteStopsAtTheFirstFailureAndCountsTheRegistersDone)
{
    const uint32_t h = ulOpenModeC();
    const Bytes vecBefore = encoder(0, 128);
    // Frame cycle 36 is a data bit of the second register (its start bit came at cycle 33).
    tbsim_set_fault(TBSIM_CONTROL_CDS_FLIP, 1, 36);
    Bytes vecNew{0x11, 0x22, 0x33};
    uint32_t ulCount = 3;
    EXPECT_EQ(BISS_REGERROR, WriteSlaveRegister(h, 0, 0, 16, &ulCount, vecNew.data(), 0xFF));
    EXPECT_EQ(1u, ulCount);
    Bytes vecExpected = vecBefore;
    vecExpected[16] = 0x11;
    EXPECT_EQ(vecExpected, encoder(0, 128));

    // A read broken off the same way gives no bytes for the registers after the failure.
    Bytes vec(3, 0xEE);
    ulCount = 3;
    EXPECT_EQ(BISS_REGERROR, ReadSlaveRegister(h, 0, 0, 16, &ulCount, vec.data()));
}

// A line whose cycles last far longer than the configured polls: frames take longer, never fail.
TEST_F(RegisterModeCTest, ASlowLineSlowsTheFramesDownAndNeverBreaksThem)
{
    const uint32_t h = ulOpenModeC();
    tbsim_set_fault(TBSIM_SLOW_LINE, 1, 50);
    Bytes vec(4, 0xEE);
    uint32_t ulCount = 4;
    ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 32, &ulCount, vec.data()));
    EXPECT_EQ(encoder(32, 4), vec);
    Bytes vecNew{0x5A};
    ulCount = 1;
    ASSERT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 3, &ulCount, vecNew.data(), 0xFF));
    EXPECT_EQ(vecNew, encoder(3, 1));
}

TEST_F(RegisterModeCTest, SlaveNeverReadyTimesOut)
{
    const uint32_t h = ulOpenModeC();
    tbsim_set_fault(TBSIM_CONTROL_NEVER_READY, 1, 0);
    uint8_t uc = 0;
    uint32_t ulCount = 1;
    EXPECT_EQ(BISS_TIMEOUT, ReadSlaveRegister(h, 0, 0, 32, &ulCount, &uc));
    EXPECT_EQ(BISS_TIMEOUT, WriteSlaveRegister(h, 0, 0, 1, &ulCount, &uc, 0xFF));
}

// A write broken off by the adapter in its data phase, after 4 data bits of 0x3C: idle cycles alone
// would complete the slave's byte as 0x30 with a matching CRC. The library finishes the byte with bits
// whose CRC cannot match, whether the last bit reached the slave (the device read failed) or not (the
// device write failed), and reports the adapter's failure.
TEST_F(RegisterModeCTest, WriteBrokenOffInItsDataPhaseNeverLeavesAValueNobodyWrote)
{
    for (tbsim_fault eFault : {TBSIM_DEVICE_READ_FAILS, TBSIM_DEVICE_WRITE_FAILS}) {
        tbsim_reset_default();
        const uint32_t h = ulOpen();
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_E5_LOW_BITS, 1));
        ASSERT_EQ(BISS_OK,
                  SetMasterConfig(h, 0, MC_E6_LOW5, 0x1F)); // polls so long that each cycle is an exchange
        ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_SLAVE_MODE_C, 1));
        ASSERT_EQ(BISS_OK, WriteMasterConfig(h, 1));
        ASSERT_EQ(BISS_OK, InitBissComm(h));
        tbsim_slave_set(0, 19, 0x0C);
        uint8_t uc = 0x0C;
        uint32_t ulCount = 1;
        ASSERT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 19, &ulCount, &uc, 0xFF)); // the channel comes up
        tbsim_clear_logs();
        ASSERT_EQ(BISS_OK, WriteSlaveRegister(h, 0, 0, 19, &ulCount, &uc, 0xFF));
        ASSERT_EQ(45u, frameCommands().size());
        tbsim_counters c;
        tbsim_get_counters(&c);
        const uint64_t ullBeforeFrame = (eFault == TBSIM_DEVICE_READ_FAILS ? c.reads : c.writes) - 45;

        // The exchange of frame step 22 (data bit 4) fails.
        tbsim_clear_logs();
        tbsim_set_fault(eFault, 1, static_cast<uint32_t>(ullBeforeFrame + 22));
        uc = 0x3C;
        ulCount = 1;
        EXPECT_EQ(BISS_MASTERCOMM_FAILED, WriteSlaveRegister(h, 0, 0, 19, &ulCount, &uc, 0xFF)) << eFault;
        EXPECT_EQ(0u, ulCount);
        tbsim_set_fault(eFault, 0, 0);
        EXPECT_EQ(0x0C, tbsim_slave_get(0, 19)) << eFault;

        // Later cycles (another register's read, sensor samples) must not finish the abandoned frame.
        uint8_t ucOther = 0;
        ulCount = 1;
        EXPECT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 4, &ulCount, &ucOther));
        uint32_t aulScd[1], aulMcd[1];
        bool bMcdValid = false;
        for (int i = 0; i < 20; ++i)
            ReadSens(h, aulScd, aulMcd, &bMcdValid);
        EXPECT_EQ(0x0C, tbsim_slave_get(0, 19));
        for (const std::string &str : controlLog())
            EXPECT_EQ(std::string::npos, str.find("write 0x13")) << str;
        vCloseAll();
    }
}

// The slave's echo of data bit 4 of 0x3C comes back wrong: the write fails there, on the USB adapter
// and on the parallel port, and the bits that follow never let the slave commit 0x30 (what idle cycles
// alone would complete the byte to, with a matching CRC).
TEST_F(RegisterModeCTest, WriteThatFailsInItsByteCommitsNothing)
{
    for (uint32_t ulKind : {uint32_t(INTERFACE_USB), uint32_t(INTERFACE_LPT1)}) {
        SCOPED_TRACE(ulKind);
        tbsim_reset_default();
        tbsim_set_port(0x378, 1);
        const uint32_t h = ulOpen(ulKind, BISS_OK, ulKind == INTERFACE_USB ? "" : "0x378");
        vStartLine(h, true);
        tbsim_slave_set(0, 19, 0x0C);
        tbsim_set_fault(TBSIM_CONTROL_CDS_FLIP, 1, 22);
        uint8_t uc = 0x3C;
        uint32_t ulCount = 1;
        const int32_t lResult = WriteSlaveRegister(h, 0, 0, 19, &ulCount, &uc, 0xFF);
        EXPECT_TRUE(lResult == BISS_REGERROR || lResult == BISS_COMM_FAILED) << lResult;
        tbsim_set_fault(TBSIM_CONTROL_CDS_FLIP, 0, 0);
        uint32_t ulScd = 0, ulMcd = 0;
        bool bValid = false;
        for (int i = 0; i < 20; ++i)
            ReadSens(h, &ulScd, &ulMcd, &bValid);
        EXPECT_EQ(0x0C, tbsim_slave_get(0, 19));
        vCloseAll();
    }
}

TEST_F(RegisterModeCTest, ReadBrokenOffMidFrameIsNotFinishedByTheNextOne)
{
    const uint32_t h = ulOpenModeC();
    uint8_t uc = 0;
    uint32_t ulCount = 1;
    ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 0x20, &ulCount, &uc)); // the channel comes up
    tbsim_clear_logs();
    // A device read fails in the header of register 0x20's frame, after the slave's ready wait.
    tbsim_set_fault(TBSIM_DEVICE_READ_FAILS, 1, 1);
    EXPECT_EQ(BISS_MASTERCOMM_FAILED, ReadSlaveRegister(h, 0, 0, 0x20, &ulCount, &uc));
    EXPECT_EQ(1u + 14u, frameCommands().size())
        << "the frame's first bit (its own exchange), then idle cycles";
    tbsim_set_fault(TBSIM_DEVICE_READ_FAILS, 0, 0);
    tbsim_clear_logs();

    // The next read starts afresh: the encoder sees one whole frame, for register 5 only.
    ulCount = 1;
    ASSERT_EQ(BISS_OK, ReadSlaveRegister(h, 0, 0, 0x05, &ulCount, &uc));
    EXPECT_EQ(tbsim_slave_get(0, 0x05), uc);
    EXPECT_EQ((std::vector<std::string>{"slave 0 read 0x05 = " + strHex(uc)}), controlLog());
    const Commands vecHeader = header(0, 0x05, ""); // start, id and address: what the cut frame had too
    const Commands vecSent = frameCommands();
    ASSERT_GE(vecSent.size(), vecHeader.size());
    EXPECT_EQ(vecHeader, Commands(vecSent.begin(), vecSent.begin() + vecHeader.size()));
}

TEST_F(RegisterModeCTest, RefusedCallsSendNothing)
{
    const uint32_t h = ulOpenModeC();
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 1, MC_SLAVE_MODE_C, 1)); // id 9 looks up slave 1's flag
    tbsim_clear_logs();
    Bytes vec(70);
    struct {
        uint32_t ulId, ulAddress, ulCount;
    } aBad[] = {{8, 0, 1}, {9, 0, 1}, {0, 128, 1}, {0, 0, 0}, {0, 0, 65}, {0, 0, 256}};
    for (auto b : aBad) {
        uint32_t ulCount = b.ulCount;
        EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSlaveRegister(h, 0, b.ulId, b.ulAddress, &ulCount, vec.data()));
        ulCount = b.ulCount;
        EXPECT_EQ(BISS_INVALID_PARAMETER,
                  WriteSlaveRegister(h, 0, b.ulId, b.ulAddress, &ulCount, vec.data(), 0xFF));
    }
    uint32_t ulCount = 1;
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSlaveRegister(h, 0, 0, 0, nullptr, vec.data()));
    EXPECT_EQ(BISS_INVALID_PARAMETER, ReadSlaveRegister(h, 0, 0, 0, &ulCount, nullptr));
    EXPECT_EQ(BISS_INVALID_PARAMETER, WriteSlaveRegister(h, 0, 0, 0, &ulCount, nullptr, 0xFF));
    EXPECT_EQ(0u, tbsim_call_count());

    // With the CDS checks of slave 0 off a read could not take the slave's answer in.
    ASSERT_EQ(BISS_OK, SetMasterConfig(h, 0, MC_DATA1_FLAG_A, 1));
    tbsim_clear_logs();
    ulCount = 2;
    EXPECT_EQ(BISS_REGERROR, ReadSlaveRegister(h, 0, 0, 32, &ulCount, vec.data()));
    EXPECT_EQ(0u, ulCount);
    EXPECT_EQ(0u, tbsim_call_count());
}
