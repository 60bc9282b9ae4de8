// A PC parallel port reached through the Linux parallel-port device (ppdev) instead of raw I/O
// instructions. Port addresses keep their register offset in the low two bits (base + 0 data, + 1
// status, + 2 control), whatever the base. Control bit 5 (data lines to input) is no line of its own
// on the device: it becomes the data-direction request.
//
// The system calls come through a table, so that the sequence of requests can be checked without a
// port.
#ifndef PPDEV_PORT_H
#define PPDEV_PORT_H

#include <cstdint>
#include <string>

namespace ppdev {

struct System {
    int (*open)(const char *path, int flags);
    int (*ioctl)(int fd, unsigned long request, void *arg);
    int (*close)(int fd);
};

// The real system calls.
const System &realSystem();

// The device to use: TARNBUS_PARPORT names it, else /dev/parport0.
std::string devicePath();

class Port {
public:
    Port(const System &system, std::string path);
    ~Port(); // releases the port and closes the device
    Port(const Port &) = delete;
    Port &operator=(const Port &) = delete;

    void write(uint32_t port, uint8_t value);
    uint8_t read(uint32_t port);

private:
    // Opens and claims the device at the first access; a device that cannot be had is reported once
    // on standard error, and then every read gives 0xFF and every write goes nowhere.
    bool ready();
    bool request(unsigned long request, void *arg);
    void direction(bool input);

    const System &m_system;
    std::string m_path;
    int m_fd = -1;
    bool m_tried = false;
    bool m_claimed = false;
    bool m_input = false;
};

} // namespace ppdev

#endif
