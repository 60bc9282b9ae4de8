// What reaches the parallel port: the bus cycles of each wiring, access by access, and what the
// library refuses to send there.
#include "sim_fixture.h"

namespace {

struct PortAccess {
    char cOp;
    uint32_t ulOffset; // from the base: 0 data, 1 status, 2 control
    uint8_t ucValue;
    bool operator==(const PortAccess &o) const
    {
        return cOp == o.cOp && ulOffset == o.ulOffset && ucValue == o.ucValue;
    }
};
std::ostream &operator<<(std::ostream &os, const PortAccess &a)
{
    char ac[16];
    std::snprintf(ac, sizeof ac, "%c+%u=%02X", a.cOp, a.ulOffset, a.ucValue);
    return os << ac;
}
using Accesses = std::vector<PortAccess>;

constexpr uint32_t BASE = 0x378;

PortAccess C(uint8_t v)
{
    return {'W', 2, v};
}
PortAccess D(uint8_t v)
{
    return {'W', 0, v};
}
PortAccess ReadD(uint8_t v)
{
    return {'R', 0, v};
}

class LptTransportTest : public SimTest {
protected:
    uint32_t ulOpenPort(uint32_t ulKind, int32_t lExpected = BISS_OK, const char *strText = "0x378")
    {
        tbsim_set_port(BASE, static_cast<int>(ulKind));
        const uint32_t h = ulOpen(ulKind, lExpected, strText);
        tbsim_clear_logs();
        return h;
    }
    static Accesses vecPort()
    {
        Accesses vec;
        tbsim_port_access a;
        for (size_t i = 0; tbsim_port_log_get(i, &a) == 0; ++i) {
            EXPECT_FALSE(a.stray) << "port " << a.port;
            vec.push_back({a.op, a.port - BASE, a.value});
        }
        return vec;
    }
    // Kind 3: one byte out, most significant bit first, the data line inverted, clock on bit 0.
    static void vBits(Accesses &vec, uint8_t ucByte, uint8_t ucHigh)
    {
        for (int i = 7; i >= 0; --i) {
            const uint8_t ucLine = ((ucByte >> i) & 1) ? 0 : 2;
            vec.push_back(C(static_cast<uint8_t>(ucLine + 1 + ucHigh)));
            vec.push_back(C(static_cast<uint8_t>(ucLine + ucHigh)));
        }
    }
};

TEST_F(LptTransportTest, BusWiringsWriteAndReadWithTheirStrobes)
{
    uint32_t h = ulOpenPort(INTERFACE_LPT1);
    tbsim_master_set(0xE4, 0x5C);
    tbsim_clear_logs();
    ASSERT_EQ(BISS_OK, WriteMaster(h, 0xE2, 0x3B, 0xFFFFFFFF));
    EXPECT_EQ((Accesses{C(0x06), D(0xE2), C(0x04), C(0x06), C(0x06), D(0x3B), C(0x07), C(0x06)}), vecPort());
    EXPECT_EQ(0x3B, tbsim_master_get(0xE2));
    tbsim_clear_logs();
    uint32_t ulValue = 0;
    ASSERT_EQ(BISS_OK, ReadMaster(h, 0xE4, &ulValue));
    EXPECT_EQ(0x5Cu, ulValue);
    EXPECT_EQ((Accesses{C(0x06), D(0xE4), C(0x04), C(0x06), D(0xFF), C(0x22), ReadD(0x5C), C(0x06)}),
              vecPort())
        << "and the control register back at its idle 0x06";

    vCloseAll();
    h = ulOpenPort(INTERFACE_LPT2);
    ASSERT_EQ(BISS_OK, WriteMaster(h, 0xE2, 0x3B, 0xFFFFFFFF));
    EXPECT_EQ((Accesses{C(0x03), D(0xE2), C(0x01), C(0x03), D(0x3B), C(0x02), C(0x03)}), vecPort());
    tbsim_clear_logs();
    ASSERT_EQ(BISS_OK, ReadMaster(h, 0xE4, &ulValue));
    EXPECT_EQ((Accesses{C(0x03), D(0xE4), C(0x01), C(0x03), D(0xFF), C(0x27), C(0x26), ReadD(0x5C), C(0x27),
                        C(0x03)}),
              vecPort())
        << "and the control register back at its idle 0x03";
    EXPECT_EQ("RE4", strSteps()) << "one master access";
}

TEST_F(LptTransportTest, SerialWiringClocksTheFramesOfTheSpiLink)
{
    const uint32_t h = ulOpenPort(INTERFACE_LPT3);
    tbsim_master_set(0xE4, 0xA6);
    tbsim_clear_logs();
    ASSERT_EQ(BISS_OK, WriteMaster(h, 0xF3, 0x5A, 0xFFFFFFFF));
    Accesses vecWrite{C(0x07)};
    for (uint8_t uc : {0x02, 0xF3, 0x5A})
        vBits(vecWrite, uc, 0);
    vecWrite.push_back(C(0x07));
    EXPECT_EQ(vecWrite, vecPort());
    EXPECT_EQ(50u, vecWrite.size());

    // The instruction register has a short form: opcode 0x07 and the data, no address.
    tbsim_clear_logs();
    ASSERT_EQ(BISS_OK, WriteMaster(h, 0xF4, 0x00, 0xFFFFFFFF));
    Accesses vecShort{C(0x07)};
    vBits(vecShort, 0x07, 0);
    vBits(vecShort, 0x00, 0);
    vecShort.push_back(C(0x07));
    EXPECT_EQ(vecShort, vecPort());
    EXPECT_EQ(34u, vecPort().size());

    // A read turns the data lines to input (0x20 on every control value) and takes 8 bits from status
    // bit 7, inverted.
    tbsim_clear_logs();
    uint32_t ulValue = 0;
    ASSERT_EQ(BISS_OK, ReadMaster(h, 0xE4, &ulValue));
    EXPECT_EQ(0xA6u, ulValue);
    const Accesses vecRead = vecPort();
    ASSERT_EQ(59u, vecRead.size());
    Accesses vecHead{C(0x27)};
    vBits(vecHead, 0x03, 0x20);
    vBits(vecHead, 0xE4, 0x20);
    EXPECT_EQ(vecHead, Accesses(vecRead.begin(), vecRead.begin() + 33));
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(C(0x21), vecRead[33 + 3 * i]);
        EXPECT_EQ(C(0x20), vecRead[34 + 3 * i]);
        EXPECT_EQ('R', vecRead[35 + 3 * i].cOp);
        EXPECT_EQ(1u, vecRead[35 + 3 * i].ulOffset) << "status";
    }
    EXPECT_EQ((Accesses{C(0x27), C(0x26)}), Accesses(vecRead.end() - 2, vecRead.end()));

    // The status register has a short form too: opcode 0x05 only.
    tbsim_clear_logs();
    ASSERT_EQ(BISS_OK, ReadMaster(h, 0xF0, &ulValue));
    EXPECT_EQ(43u, vecPort().size());
    Accesses vecStatusHead{C(0x27)};
    vBits(vecStatusHead, 0x05, 0x20);
    const Accesses vecStatus = vecPort();
    EXPECT_EQ(vecStatusHead, Accesses(vecStatus.begin(), vecStatus.begin() + 17));
    EXPECT_EQ("RF0", strSteps());
}

TEST_F(LptTransportTest, EndOfTransmissionIsStatusBit5)
{
    const uint32_t h = ulOpenPort(INTERFACE_LPT1);
    ASSERT_EQ(BISS_OK, InitBissComm(h));
    // Start-up polls the end-of-transmission line instead of a master register.
    tbsim_clear_logs();
    ASSERT_EQ(BISS_OK, InitBissComm(h));
    EXPECT_EQ(std::string::npos, strSteps().find("RF0"));
    size_t uiStatusReads = 0;
    for (const PortAccess &a : vecPort())
        uiStatusReads += a.cOp == 'R' && a.ulOffset == 1;
    EXPECT_GE(uiStatusReads, 3u) << "idle check, then busy until the master has started the line";
    // A master that never ends its transmission: start-up gives up after the time limit.
    tbsim_set_fault(TBSIM_NO_EOT, 1, 0);
    EXPECT_EQ(BISS_INIT_FAILED, InitBissComm(h));
}

TEST_F(LptTransportTest, WrongWiringOrBaseFailsTheCommunicationTest)
{
    for (int iWiring = 1; iWiring <= 3; ++iWiring)
        for (uint32_t ulKind = INTERFACE_LPT1; ulKind <= INTERFACE_LPT3; ++ulKind) {
            if (static_cast<uint32_t>(iWiring) == ulKind)
                continue;
            tbsim_set_port(BASE, iWiring);
            ulOpen(ulKind, BISS_MASTERCOMM_FAILED, "0x378");
            vCloseAll();
        }
    // The port at 0x278: nobody answers at 0x378, and every access there is stray.
    tbsim_set_port(0x278, 1);
    tbsim_clear_logs();
    ulOpen(INTERFACE_LPT1, BISS_MASTERCOMM_FAILED, "0x378");
    tbsim_port_access a;
    ASSERT_EQ(0, tbsim_port_log_get(0, &a));
    EXPECT_EQ(1, a.stray);
    EXPECT_EQ(0u, tbsim_master_log_count());
    // Named with its own base, the same port works.
    ulOpen(INTERFACE_LPT1, BISS_OK, "0x278");
}

TEST_F(LptTransportTest, TextsWithoutAUsableBaseMakeNoPortAccess)
{
    for (const char *str : {"", "0x", "0x-1", "0x0", "0x00", "0xFFFE", "0x10000", "0X378", "378", "0x378 ",
                            " 0x378", "0x+378", "0x0x378", "0x378g"}) {
        tbsim_clear_logs();
        const uint32_t h = ulOpen(INTERFACE_LPT1, BISS_MASTERCOMM_FAILED, str);
        EXPECT_EQ(BISS_INVALID_INTERFACE, WriteMaster(h, 0x10, 0x10, 0xFFFFFFFF)) << str;
        EXPECT_EQ(BISS_INVALID_MASTERADR, WriteMaster(h, 0x100, 0x10, 0xFFFFFFFF)) << str;
        EXPECT_EQ(BISS_INVALID_INTERFACE, InitBissComm(h)) << str;
        EXPECT_EQ(0u, tbsim_port_log_count()) << "text '" << str << "'";
        vCloseAll();
    }
    // The highest usable base: its control register is 0xFFFF.
    tbsim_set_port(0xFFFD, 2);
    ulOpen(INTERFACE_LPT2, BISS_OK, "0xfffd");
}

} // namespace
