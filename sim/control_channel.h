// A slave's control channel in register mode C: one CDM bit from the master in every sensor cycle, one
// CDS bit back. The slave answers a cycle with what it decided after the cycle before (an echo is one
// cycle late), accepts a frame only after 14 CDM zeros, checks the header and data CRC-4, and moves on
// to the next register when the master continues the frame.
#ifndef TBSIM_CONTROL_CHANNEL_H
#define TBSIM_CONTROL_CHANNEL_H

#include <cstdint>
#include <string>
#include <vector>

namespace tbsim {

class Slave;

// What can go wrong on the slave's side of the channel.
struct ControlFaults {
    unsigned startDelay = 0; // cycles the slave holds back its start bit before data
    bool badCrc = false;     // a register read out goes with a wrong CRC
    int flipCycle = -1;      // frame cycle (0 = the master's start bit) whose CDS goes out inverted
    bool neverReady = false; // the slave never gets ready for a frame
    int foreignId = -1;      // the slave answers to this id instead of its own
};

class ControlChannel {
public:
    static constexpr unsigned kIdleZeros = 14;

    // One sensor cycle: returns the CDS level the slave drives in it, then takes the cycle's CDM bit.
    bool cycle(Slave &slave, bool cdm);
    // Ready for a frame: idle and the line has been quiet long enough.
    bool ready() const;
    // Back to power-up: waiting for the line to go quiet.
    void reset();

    void setId(unsigned id) { m_id = id; }
    void setFaults(const ControlFaults &faults) { m_faults = faults; }

    // One line per register read or committed ("read 0x20 = 0x01", "write 0x10 = 0x5A"), taken by the
    // owner after each cycle.
    std::vector<std::string> takeEvents();

private:
    enum class Phase {
        Idle,      // between frames (also after a frame that is not for this slave)
        Header,    // register-access bit, id, address, CRC
        ReadWrite, // the read and write bits, then the master's start
        Start,     // the slave's start bit, after the start delay
        Data,      // write: data and CRC bits in, each echoed; read: data and CRC bits out
        Stop,      // after the CRC: the stop bit, then 1 = next register, 0 = end of frame
    };

    void takeBit(Slave &slave, bool cdm);
    void headerDone();
    void startDone(Slave &slave);
    void dataDone(Slave &slave);
    void abandon();

    unsigned m_id = 0;
    ControlFaults m_faults;

    Phase m_phase = Phase::Idle;
    unsigned m_zeros = 0;   // CDM zeros in a row (saturating)
    int m_frameCycle = -1;  // cycles since the master's start bit, -1 between frames
    unsigned m_bits = 0;    // bits taken in the current phase
    uint32_t m_shift = 0;   // bits taken, most significant first
    bool m_cdsNext = false; // what the slave drives in the next cycle
    bool m_write = false;
    unsigned m_address = 0;
    unsigned m_delayLeft = 0;
    std::vector<bool> m_out; // read: the bits still to send
    std::vector<std::string> m_events;
};

// The CRC-4 of the control frame (x^4 + x + 1, start 0) over the low `count` bits of `bits`, most
// significant first.
uint8_t controlCrc(uint32_t bits, unsigned count);

} // namespace tbsim

#endif
