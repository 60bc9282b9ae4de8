// The encoder's control channel on its own, fed CDM bits as a master would send them.
#include "control_channel.h"
#include "encoder.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tbsim;

namespace {

// x^4 + x + 1 over bits most significant first, written here from the polynomial.
unsigned crc4(const std::vector<bool> &bits)
{
    unsigned reg = 0;
    for (bool b : bits) {
        const bool top = (reg >> 3) & 1;
        reg = (reg << 1) & 0xF;
        if (b != top)
            reg ^= 0x3;
    }
    return reg;
}

void appendBits(std::vector<bool> &bits, unsigned value, int count)
{
    for (int i = count - 1; i >= 0; --i)
        bits.push_back((value >> i) & 1);
}

void appendCrc(std::vector<bool> &bits, const std::vector<bool> &over)
{
    appendBits(bits, ~crc4(over) & 0xF, 4); // complemented
}

class ChannelTest : public ::testing::Test {
protected:
    Encoder slave;
    ControlChannel channel;

    void SetUp() override
    {
        slave.poke(0x10, 0x11);
        slave.poke(0x11, 0x22);
        slave.poke(0x20, 0xA5);
    }

    bool send(bool cdm) { return channel.cycle(slave, cdm); }
    void idle(int n)
    {
        for (int i = 0; i < n; ++i)
            send(false);
    }
    // Sends bits; returns the CDS of each cycle.
    std::vector<bool> sendAll(const std::vector<bool> &bits)
    {
        std::vector<bool> cds;
        for (bool b : bits)
            cds.push_back(send(b));
        return cds;
    }

    // Start bit, register-access bit, id, address, complemented CRC, then read (1 0) or write (0 1) and
    // the master's start bit.
    static std::vector<bool> header(unsigned id, unsigned address, bool write)
    {
        std::vector<bool> over{true};
        appendBits(over, id, 3);
        appendBits(over, address, 7);
        std::vector<bool> bits{true};
        bits.insert(bits.end(), over.begin(), over.end());
        appendCrc(bits, over);
        bits.push_back(!write);
        bits.push_back(write);
        bits.push_back(true);
        return bits;
    }

    // After a read header: cycles until the start bit, then the 8 data and 4 CRC bits as received.
    // Returns -1 when no start bit comes within `limit` cycles, else the byte (crcOk tells the CRC).
    int receive(bool &crcOk, int limit = 200)
    {
        int waited = 0;
        while (!send(false))
            if (++waited > limit)
                return -1;
        std::vector<bool> data, crc;
        for (int i = 0; i < 8; ++i)
            data.push_back(send(false));
        for (int i = 0; i < 4; ++i)
            crc.push_back(!send(false));
        unsigned value = 0, got = 0;
        for (bool b : data)
            value = (value << 1) | b;
        for (bool b : crc)
            got = (got << 1) | b;
        crcOk = got == crc4(data);
        return int(value);
    }

    // After a write header: the data byte (its first bit until the slave's start bit) and its CRC;
    // returns the echoes of the cycles after the start bit, or empty when the start never came.
    std::vector<bool> transmit(uint8_t value, bool goodCrc = true)
    {
        std::vector<bool> data;
        appendBits(data, value, 8);
        int waited = 0;
        while (!send(data[0]))
            if (++waited > 200)
                return {};
        std::vector<bool> rest(data.begin() + 1, data.end());
        std::vector<bool> crcBits;
        appendCrc(crcBits, data);
        if (!goodCrc)
            crcBits[3] = !crcBits[3];
        rest.insert(rest.end(), crcBits.begin(), crcBits.end());
        rest.push_back(false); // stop
        return sendAll(rest);
    }
};

} // namespace

TEST_F(ChannelTest, ReadyOnlyAfterFourteenQuietCyclesAndAStartBeforeIsIgnored)
{
    EXPECT_FALSE(channel.ready());
    idle(13);
    EXPECT_FALSE(channel.ready());
    // A frame sent now is not taken: no echo of its read bit.
    const std::vector<bool> cds = sendAll(header(0, 0x20, false));
    EXPECT_FALSE(cds[17]);
    idle(14);
    EXPECT_TRUE(channel.ready());
}

TEST_F(ChannelTest, ReadEchoesTheHeaderThenSendsStartBitByteAndCrc)
{
    idle(14);
    const std::vector<bool> cds = sendAll(header(0, 0x20, false));
    ASSERT_EQ(19u, cds.size());
    EXPECT_TRUE(cds[17]) << "echo of the read bit";
    EXPECT_FALSE(cds[18]) << "echo of the write bit";
    EXPECT_FALSE(channel.ready()) << "busy with the frame";
    bool crcOk = false;
    EXPECT_EQ(0xA5, receive(crcOk));
    EXPECT_TRUE(crcOk);
    // End of the frame: zeros; ready again once the line has been quiet for 14 cycles in all.
    idle(2);
    EXPECT_TRUE(channel.ready());
    const std::vector<std::string> events = channel.takeEvents();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("read 0x20 = 0xA5", events[0]);
}

TEST_F(ChannelTest, ChainedReadGoesOnWithTheNextRegister)
{
    idle(14);
    sendAll(header(0, 0x10, false));
    bool crcOk = false;
    EXPECT_EQ(0x11, receive(crcOk));
    send(true); // next register, right after the CRC
    EXPECT_EQ(0x22, receive(crcOk));
    EXPECT_TRUE(crcOk);
}

TEST_F(ChannelTest, WriteEchoesEveryBitAndCommitsOnlyAfterAGoodCrc)
{
    idle(14);
    std::vector<bool> cds = sendAll(header(0, 0x03, true));
    EXPECT_FALSE(cds[17]) << "echo of the read bit";
    EXPECT_TRUE(cds[18]) << "echo of the write bit";
    std::vector<bool> echo = transmit(0x5A);
    std::vector<bool> sent;
    appendBits(sent, 0x5A, 8);
    appendCrc(sent, std::vector<bool>(sent));
    EXPECT_EQ(sent, echo) << "each bit echoed one cycle later";
    EXPECT_EQ(0x5A, slave.peek(0x03));
    idle(14);

    // A CRC that does not fit: nothing is written.
    sendAll(header(0, 0x04, true));
    transmit(0x77, false);
    EXPECT_EQ(0x00, slave.peek(0x04));
    idle(14);

    // The rating plate stays read-only.
    sendAll(header(0, 0x20, true));
    transmit(0x00);
    EXPECT_EQ(0xA5, slave.peek(0x20));
    const std::vector<std::string> events = channel.takeEvents();
    ASSERT_EQ(2u, events.size()) << "the refused byte is not logged";
    EXPECT_EQ("write 0x03 = 0x5A", events[0]);
}

TEST_F(ChannelTest, ChainedWriteMovesToTheNextRegisterOnlyWhenTheMasterGoesOn)
{
    idle(14);
    sendAll(header(0, 0x08, true));
    transmit(0x01);
    send(true); // go on
    transmit(0x02);
    send(false); // end
    EXPECT_EQ(0x01, slave.peek(0x08));
    EXPECT_EQ(0x02, slave.peek(0x09));
    EXPECT_EQ(0x00, slave.peek(0x0A));
}

TEST_F(ChannelTest, HeaderFaultsLeaveTheSlaveSilent)
{
    // A header whose CRC is wrong: the slave does not answer the read bit.
    idle(14);
    std::vector<bool> bits = header(0, 0x20, false);
    bits[15] = !bits[15];
    EXPECT_FALSE(sendAll(bits)[17]);
    bool crcOk;
    EXPECT_EQ(-1, receive(crcOk, 30));
    EXPECT_TRUE(channel.ready()) << "quiet again after the silence";

    // Another slave's id.
    EXPECT_FALSE(sendAll(header(1, 0x20, false))[17]);
    idle(30);
    ControlFaults f;
    f.foreignId = 1;
    channel.setFaults(f);
    EXPECT_FALSE(sendAll(header(0, 0x20, false))[17]);
    idle(30);
    EXPECT_TRUE(sendAll(header(1, 0x20, false))[17]);
}

TEST_F(ChannelTest, StartDelayBadCrcFlippedCdsAndNeverReady)
{
    ControlFaults f;
    f.startDelay = 7;
    channel.setFaults(f);
    idle(14);
    sendAll(header(0, 0x20, false));
    int waited = 0;
    while (!send(false))
        ++waited;
    EXPECT_EQ(7, waited);
    idle(30);

    f = ControlFaults();
    f.badCrc = true;
    channel.setFaults(f);
    sendAll(header(0, 0x20, false));
    bool crcOk = true;
    EXPECT_EQ(0xA5, receive(crcOk));
    EXPECT_FALSE(crcOk);
    idle(30);

    f = ControlFaults();
    f.flipCycle = 17;
    channel.setFaults(f);
    EXPECT_FALSE(sendAll(header(0, 0x20, false))[17]);
    idle(30);

    f = ControlFaults();
    f.neverReady = true;
    channel.setFaults(f);
    EXPECT_FALSE(channel.ready());
    EXPECT_FALSE(sendAll(header(0, 0x20, false))[17]);
}
