// The USB model of the adapter as libftdi1 meets it, at the libusb level: descriptors of each chip,
// packets with the status bytes at their start, the latency timer, transfers that time out.
#include <gtest/gtest.h>

#include <libusb.h>

#include <vector>

#include "tarnbus_sim.h"
#include "usbmodel.h"

namespace {

class UsbLevel : public ::testing::Test {
protected:
    void SetUp() override
    {
        tbsim_reset_default();
        usbmodel_reset();
    }
    void TearDown() override
    {
        if (handle)
            libusb_close(handle);
    }
    // The adapter opened, interface A claimed, its engine in MPSSE mode.
    void open()
    {
        libusb_device **list = nullptr;
        ASSERT_EQ(1, libusb_get_device_list(nullptr, &list));
        device = list[0];
        ASSERT_EQ(LIBUSB_SUCCESS, libusb_open(device, &handle));
        libusb_free_device_list(list, 1);
        ASSERT_EQ(LIBUSB_SUCCESS, libusb_claim_interface(handle, 0));
        ASSERT_EQ(0, libusb_control_transfer(handle, 0x40, 0x0B, 0x0200, 1, nullptr, 0, 100));
    }
    // Each value set on the high GPIO byte and read back, then send-immediate.
    void echo(size_t n)
    {
        std::vector<uint8_t> vec;
        for (size_t i = 0; i < n; ++i)
            vec.insert(vec.end(), {0x82, uint8_t(i), 0xFF, 0x83});
        vec.push_back(0x87);
        int done = 0;
        ASSERT_EQ(LIBUSB_SUCCESS,
                  libusb_bulk_transfer(handle, 0x02, vec.data(), int(vec.size()), &done, 100));
        ASSERT_EQ(int(vec.size()), done);
    }
    libusb_device *device = nullptr;
    libusb_device_handle *handle = nullptr;
};

} // namespace

TEST_F(UsbLevel, EachChipDescribesItselfAsItDoes)
{
    struct {
        const char *name;
        uint16_t product, bcd;
        uint8_t interfaces;
    } chips[] = {
        {"FT2232H", 0x6010, 0x0700, 2}, {"FT4232H", 0x6011, 0x0800, 4}, {"FT232H", 0x6014, 0x0900, 1}};
    for (const auto &chip : chips)
        for (int iFull : {0, 1}) {
            SCOPED_TRACE(std::string(chip.name) + (iFull ? " full speed" : " high speed"));
            ASSERT_EQ(0, usbmodel_set_chip(chip.name, iFull));
            libusb_device **list = nullptr;
            ASSERT_EQ(1, libusb_get_device_list(nullptr, &list));
            libusb_device_descriptor desc;
            ASSERT_EQ(LIBUSB_SUCCESS, libusb_get_device_descriptor(list[0], &desc));
            EXPECT_EQ(0x0403, desc.idVendor);
            EXPECT_EQ(chip.product, desc.idProduct);
            EXPECT_EQ(chip.bcd, desc.bcdDevice);
            EXPECT_EQ(3, desc.iSerialNumber);
            libusb_config_descriptor *config = nullptr;
            ASSERT_EQ(LIBUSB_SUCCESS, libusb_get_config_descriptor(list[0], 0, &config));
            ASSERT_EQ(chip.interfaces, config->bNumInterfaces);
            for (uint8_t i = 0; i < chip.interfaces; ++i) {
                const libusb_interface_descriptor &s = config->interface[i].altsetting[0];
                ASSERT_EQ(2, s.bNumEndpoints);
                EXPECT_EQ(0x81 + 2 * i, s.endpoint[0].bEndpointAddress);
                EXPECT_EQ(0x02 + 2 * i, s.endpoint[1].bEndpointAddress);
                EXPECT_EQ(iFull ? 64 : 512, s.endpoint[0].wMaxPacketSize);
            }
            libusb_free_config_descriptor(config);
            libusb_free_device_list(list, 1);
        }
}

TEST_F(UsbLevel, EveryPacketStartsWithTheTwoStatusBytes)
{
    for (int iFull : {0, 1}) {
        SCOPED_TRACE(iFull ? "64-byte packets" : "512-byte packets");
        usbmodel_reset();
        ASSERT_EQ(0, usbmodel_set_chip("FT2232H", iFull));
        open();
        const size_t packet = iFull ? 64 : 512, count = 1100;
        echo(count);
        std::vector<uint8_t> vec(4096);
        int done = 0;
        ASSERT_EQ(LIBUSB_SUCCESS,
                  libusb_bulk_transfer(handle, 0x81, vec.data(), int(vec.size()), &done, 100));
        const size_t packets = (count + packet - 3) / (packet - 2);
        ASSERT_EQ(count + 2 * packets, size_t(done)) << "full packets, then a short one ends the transfer";
        size_t value = 0;
        for (size_t at = 0; at < size_t(done); ++at) {
            if (at % packet < 2)
                EXPECT_EQ(at % packet ? 0x60 : 0x32, vec[at]) << "status byte at " << at;
            else
                EXPECT_EQ(uint8_t(value++), vec[at]) << "data at " << at;
        }
        libusb_close(handle);
        handle = nullptr;
    }
}

TEST_F(UsbLevel, AnIdleChipReportsItsStatusAtTheLatencyInterval)
{
    open();
    ASSERT_EQ(0, libusb_control_transfer(handle, 0x40, 0x09, 5, 1, nullptr, 0, 100)); // 5 ms
    uint8_t buffer[512];
    int done = 0;
    ASSERT_EQ(LIBUSB_SUCCESS, libusb_bulk_transfer(handle, 0x81, buffer, sizeof buffer, &done, 100));
    for (int i = 0; i < 3; ++i) {
        const uint64_t start = usbmodel_clock_us();
        ASSERT_EQ(LIBUSB_SUCCESS, libusb_bulk_transfer(handle, 0x81, buffer, sizeof buffer, &done, 100));
        EXPECT_EQ(2, done) << "status only";
        EXPECT_NEAR(5000.0, double(usbmodel_clock_us() - start), 250.0);
    }
    // Data without send-immediate waits for the timer as well.
    uint8_t command[] = {0x83};
    ASSERT_EQ(LIBUSB_SUCCESS, libusb_bulk_transfer(handle, 0x02, command, 1, &done, 100));
    const uint64_t start = usbmodel_clock_us();
    ASSERT_EQ(LIBUSB_SUCCESS, libusb_bulk_transfer(handle, 0x81, buffer, sizeof buffer, &done, 100));
    EXPECT_EQ(3, done);
    EXPECT_GE(usbmodel_clock_us() - start, 4000u);
}

TEST_F(UsbLevel, ATimedOutTransferReturnsWhatArrived)
{
    open();
    usbmodel_set_fault(USBMODEL_SILENT, 1, 510); // one full packet, then nothing
    echo(1100);
    std::vector<uint8_t> vec(4096);
    int done = 0;
    const uint64_t start = usbmodel_clock_us();
    EXPECT_EQ(LIBUSB_ERROR_TIMEOUT,
              libusb_bulk_transfer(handle, 0x81, vec.data(), int(vec.size()), &done, 40));
    EXPECT_EQ(512, done);
    EXPECT_EQ(40000u, usbmodel_clock_us() - start);
}

TEST_F(UsbLevel, SubmittedTransfersRunWhenEventsAreHandled)
{
    open();
    echo(3);
    std::vector<uint8_t> vec(512);
    int completed = 0;
    libusb_transfer *in = libusb_alloc_transfer(0), *cancelled = libusb_alloc_transfer(0);
    const auto done = [](libusb_transfer *t) { ++*static_cast<int *>(t->user_data); };
    libusb_fill_bulk_transfer(in, handle, 0x81, vec.data(), int(vec.size()), done, &completed, 100);
    libusb_fill_bulk_transfer(cancelled, handle, 0x81, vec.data(), int(vec.size()), done, &completed, 100);
    ASSERT_EQ(LIBUSB_SUCCESS, libusb_submit_transfer(in));
    ASSERT_EQ(LIBUSB_SUCCESS, libusb_submit_transfer(cancelled));
    ASSERT_EQ(LIBUSB_SUCCESS, libusb_cancel_transfer(cancelled));
    EXPECT_EQ(0, completed) << "nothing runs before events are handled";
    ASSERT_EQ(LIBUSB_SUCCESS, libusb_handle_events_timeout_completed(nullptr, nullptr, nullptr));
    EXPECT_EQ(2, completed);
    EXPECT_EQ(LIBUSB_TRANSFER_COMPLETED, in->status);
    EXPECT_EQ(5, in->actual_length) << "status bytes and the three answers";
    EXPECT_EQ(LIBUSB_TRANSFER_CANCELLED, cancelled->status);
    libusb_free_transfer(in);
    libusb_free_transfer(cancelled);
}
