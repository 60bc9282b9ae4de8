// Layout of the Intel HEX register files: every row is 128 bytes in 8 slots of 16, and a record's
// address is the byte's position in its row.
#ifndef TARNBUS_DATA_HEX_RECORD_H
#define TARNBUS_DATA_HEX_RECORD_H

namespace tarnbus_data {

constexpr int HEX_ROW_BYTES = 128;
constexpr int HEX_SLOT_BYTES = 16;
constexpr int HEX_SLOTS = HEX_ROW_BYTES / HEX_SLOT_BYTES;
constexpr const char *HEX_END_RECORD = ":00000001FF";

// Checksum of a record: the two's complement of the byte sum, so that all record bytes with the
// checksum add up to 0 modulo 256. uSum is the sum of count, address bytes and data.
inline unsigned uHexChecksum(unsigned uSum)
{
    return (0x100u - (uSum & 0xFFu)) & 0xFFu;
}

} // namespace tarnbus_data

#endif
