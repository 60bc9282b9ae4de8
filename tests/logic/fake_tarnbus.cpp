#include "fake_tarnbus.h"

#include <tarnbus/tarnbus.h>

#include <algorithm>

namespace fake {

Library &lib()
{
    static Library instance;
    return instance;
}

std::vector<const Call *> Library::named(const std::string &name) const
{
    std::vector<const Call *> out;
    for (const Call &c : calls)
        if (c.name == name)
            out.push_back(&c);
    return out;
}

} // namespace fake

namespace {

int32_t record(const char *name, std::vector<uint32_t> args, uint32_t count = 0,
               const uint8_t *data = nullptr)
{
    fake::Library &l = fake::lib();
    l.calls.push_back({name, std::chrono::steady_clock::now(), std::move(args), {}, {}, count});
    if (data)
        l.calls.back().data.assign(data, data + count);
    if (l.results.empty())
        return BISS_OK;
    const int32_t r = l.results.front();
    l.results.pop_front();
    return r;
}

} // namespace

extern "C" {

int32_t OpenInterface(uint32_t ulInterface, const char *strText, uint32_t *, uint32_t *, uint32_t *pulHandle)
{
    *pulHandle = 7;
    const int32_t r = record("OpenInterface", {ulInterface});
    fake::lib().calls.back().text = strText ? strText : "<null>";
    return r;
}

int32_t CloseInterface(uint32_t ulHandle)
{
    return record("CloseInterface", {ulHandle});
}
int32_t InitBissComm(uint32_t ulHandle)
{
    return record("InitBissComm", {ulHandle});
}
int32_t WriteMasterConfig(uint32_t ulHandle, uint32_t ulForce)
{
    return record("WriteMasterConfig", {ulHandle, ulForce});
}

int32_t SetMasterConfig(uint32_t ulHandle, uint32_t ulSlave, uint32_t ulItem, uint32_t ulValue)
{
    return record("SetMasterConfig", {ulHandle, ulSlave, ulItem, ulValue});
}

int32_t ReadSlaveRegister(uint32_t ulHandle, uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                          uint32_t *pulCount, uint8_t *pucData)
{
    const uint32_t n = std::min<uint32_t>(*pulCount, 128 - std::min<uint32_t>(ulAddress, 128));
    std::copy_n(fake::lib().registers.begin() + ulAddress, n, pucData);
    const int32_t r = record("ReadSlaveRegister", {ulHandle, ulSelector, ulSlaveId, ulAddress}, *pulCount);
    *pulCount = static_cast<uint32_t>(static_cast<int32_t>(*pulCount) + fake::lib().countChange);
    return r;
}

int32_t WriteSlaveRegister(uint32_t ulHandle, uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                           uint32_t *pulCount, uint8_t *pucData, uint8_t ucMask)
{
    return record("WriteSlaveRegister", {ulHandle, ulSelector, ulSlaveId, ulAddress, ucMask}, *pulCount,
                  pucData);
}

int32_t GetMasterConfig(uint32_t ulHandle, uint32_t ulSlave, uint32_t ulItem, uint32_t *pulValue)
{
    *pulValue = fake::lib().slaves;
    return record("GetMasterConfig", {ulHandle, ulSlave, ulItem});
}

int32_t ReadMaster(uint32_t ulHandle, uint32_t ulAddress, uint32_t *pulData)
{
    *pulData = 0;
    return record("ReadMaster", {ulHandle, ulAddress});
}

int32_t ReadSensBlock(uint32_t ulHandle, uint32_t ulCycles, uint32_t *pulScd, uint32_t *pulMcd,
                      uint8_t *pucMcdValid, uint32_t *pulDone)
{
    const int32_t r = record("ReadSensBlock", {ulHandle, ulCycles});
    fake::Library &l = fake::lib();
    // A failing block stores the cycles before its failing one, and nothing of it or after it.
    const uint32_t stored = r == BISS_OK ? ulCycles : std::min(ulCycles, l.doneOnFailure);
    for (uint32_t c = 0; c < stored; ++c, ++l.sample) {
        pucMcdValid[c] = 0;
        for (uint32_t s = 0; s < l.slaves; ++s) {
            pulScd[c * l.slaves + s] = 100 * l.sample + s;
            if (l.mcdSlaves & (1u << s)) {
                pulMcd[c * l.slaves + s] = 1000 * l.sample + s;
                pucMcdValid[c] = 1;
            }
        }
    }
    *pulDone = stored;
    return r;
}

} // extern "C"
