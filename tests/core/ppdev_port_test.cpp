// The port driver over the Linux parallel-port device, on stand-in system calls: which requests a
// bus cycle turns into, and what happens without a device.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ppdev_port.h"

namespace {

struct Request {
    unsigned long ulRequest;
    int iValue; // the byte or direction passed, or -1 for none
    bool operator==(const Request &o) const { return ulRequest == o.ulRequest && iValue == o.iValue; }
};
std::ostream &operator<<(std::ostream &os, const Request &r)
{
    static const std::pair<unsigned long, const char *> aNames[] = {
        {PPCLAIM, "PPCLAIM"},     {PPRELEASE, "PPRELEASE"},   {PPWDATA, "PPWDATA"},
        {PPRDATA, "PPRDATA"},     {PPWCONTROL, "PPWCONTROL"}, {PPRCONTROL, "PPRCONTROL"},
        {PPDATADIR, "PPDATADIR"}, {PPRSTATUS, "PPRSTATUS"}};
    for (const auto &[ul, str] : aNames)
        if (ul == r.ulRequest)
            return os << str << "(" << r.iValue << ")";
    return os << "request " << r.ulRequest;
}

std::vector<Request> vecRequests;
std::vector<std::string> vecOpened;
int iOpenResult = 7;
int iClosed = -1;
unsigned char ucDataLines = 0xA5;

int iFakeOpen(const char *strPath, int iFlags)
{
    EXPECT_EQ(O_RDWR, iFlags);
    vecOpened.push_back(strPath);
    return iOpenResult;
}
int iFakeIoctl(int iFd, unsigned long ulRequest, void *pArg)
{
    EXPECT_EQ(7, iFd);
    int iValue = -1;
    switch (ulRequest) {
    case PPWDATA:
    case PPWCONTROL:
        iValue = *static_cast<unsigned char *>(pArg);
        break;
    case PPDATADIR:
        iValue = *static_cast<int *>(pArg);
        break;
    case PPRDATA:
        *static_cast<unsigned char *>(pArg) = ucDataLines;
        break;
    case PPRSTATUS:
        *static_cast<unsigned char *>(pArg) = 0x7F;
        break;
    case PPRCONTROL:
        *static_cast<unsigned char *>(pArg) = 0x06;
        break;
    default:
        break;
    }
    vecRequests.push_back({ulRequest, iValue});
    return 0;
}
int iFakeClose(int iFd)
{
    iClosed = iFd;
    return 0;
}
const ppdev::System FAKE{iFakeOpen, iFakeIoctl, iFakeClose};

class PpdevPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        vecRequests.clear();
        vecOpened.clear();
        iOpenResult = 7;
        iClosed = -1;
    }
};

TEST_F(PpdevPortTest, ReadOnTheFirstBusWiringTurnsTheDataLinesAroundAndBack)
{
    {
        ppdev::Port port(FAKE, "/dev/parport1");
        // A master register read on the first bus wiring, at base 0x378.
        port.write(0x37A, 0x06);
        port.write(0x378, 0xE4);
        port.write(0x37A, 0x04);
        port.write(0x37A, 0x06);
        port.write(0x378, 0xFF);
        port.write(0x37A, 0x22);
        EXPECT_EQ(0xA5, port.read(0x378));
        EXPECT_EQ(0x26, port.read(0x37A)) << "bit 5 reads back the direction";
        port.write(0x37A, 0x06);
        EXPECT_EQ(0x7F, port.read(0x379));
        EXPECT_EQ((std::vector<std::string>{"/dev/parport1"}), vecOpened) << "opened once, at the first call";
        EXPECT_EQ((std::vector<Request>{{PPCLAIM, -1},
                                        {PPWCONTROL, 0x06},
                                        {PPWDATA, 0xE4},
                                        {PPWCONTROL, 0x04},
                                        {PPWCONTROL, 0x06},
                                        {PPWDATA, 0xFF},
                                        {PPDATADIR, 1}, // input before the strobe that has the chip drive
                                        {PPWCONTROL, 0x02},
                                        {PPRDATA, -1},
                                        {PPRCONTROL, -1},
                                        {PPWCONTROL, 0x06},
                                        {PPDATADIR, 0}, // output after the strobe has ended
                                        {PPRSTATUS, -1}}),
                  vecRequests);
        vecRequests.clear();
    }
    EXPECT_EQ((std::vector<Request>{{PPRELEASE, -1}}), vecRequests) << "released when the library goes";
    EXPECT_EQ(7, iClosed);
}

TEST_F(PpdevPortTest, PortLeftInInputIsTurnedBackBeforeRelease)
{
    {
        ppdev::Port port(FAKE, "/dev/parport0");
        port.write(0x27A, 0x27); // any base: the low bits name the register
        vecRequests.clear();
    }
    EXPECT_EQ((std::vector<Request>{{PPDATADIR, 0}, {PPRELEASE, -1}}), vecRequests);
}

TEST_F(PpdevPortTest, DeviceThatCannotBeOpenedReadsFFAndIsTriedOnce)
{
    iOpenResult = -1;
    ppdev::Port port(FAKE, "/nonexistent/parport");
    testing::internal::CaptureStderr();
    port.write(0x37A, 0x06);
    EXPECT_EQ(0xFF, port.read(0x379));
    EXPECT_EQ(0xFF, port.read(0x378));
    const std::string strErr = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, strErr.find("/nonexistent/parport")) << strErr;
    EXPECT_EQ(1, std::count(strErr.begin(), strErr.end(), '\n')) << "one line: " << strErr;
    EXPECT_EQ(1u, vecOpened.size());
    EXPECT_TRUE(vecRequests.empty());
}

} // namespace
