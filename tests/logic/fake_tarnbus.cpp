#include "fake_tarnbus.h"

#include <tarnbus/tarnbus.h>

#include <algorithm>

namespace fake {

Library &lib()
{
    static Library instance;
    return instance;
}

void reset()
{
    lib() = Library{};
}

int32_t Library::next()
{
    if (results.empty())
        return BISS_OK;
    const int32_t r = results.front();
    results.pop_front();
    return r;
}

std::vector<const Call *> Library::named(const std::string &name) const
{
    std::vector<const Call *> out;
    for (const Call &c : calls)
        if (c.name == name)
            out.push_back(&c);
    return out;
}

namespace {
Call &record(const char *name, std::vector<uint32_t> args)
{
    lib().calls.push_back(Call{name, std::chrono::steady_clock::now(), std::move(args), {}, {}, 0, false});
    return lib().calls.back();
}
} // namespace

} // namespace fake

using fake::lib;
using fake::record;

extern "C" {

int32_t OpenInterface(uint32_t ulInterface, const char *strText, uint32_t *pulReserved1, uint32_t *pulReserved2,
                      uint32_t *pulHandle)
{
    fake::Call &c = record("OpenInterface", {ulInterface});
    c.text = strText ? strText : "<null>";
    c.reserved = pulReserved1 && pulReserved2 && pulReserved1 != pulReserved2;
    *pulHandle = lib().handle;
    return lib().next();
}

int32_t CloseInterface(uint32_t ulHandle)
{
    record("CloseInterface", {ulHandle});
    return lib().next();
}

int32_t InitBissComm(uint32_t ulHandle)
{
    record("InitBissComm", {ulHandle});
    return lib().next();
}

int32_t SetMasterConfig(uint32_t ulHandle, uint32_t ulSlave, uint32_t ulItem, uint32_t ulValue)
{
    record("SetMasterConfig", {ulHandle, ulSlave, ulItem, ulValue});
    return lib().next();
}

int32_t WriteMasterConfig(uint32_t ulHandle, uint32_t ulForce)
{
    record("WriteMasterConfig", {ulHandle, ulForce});
    return lib().next();
}

int32_t ReadSlaveRegister(uint32_t ulHandle, uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                          uint32_t *pulCount, uint8_t *pucData)
{
    fake::Call &c = record("ReadSlaveRegister", {ulHandle, ulSelector, ulSlaveId, ulAddress});
    c.count = *pulCount;
    const uint32_t n = std::min<uint32_t>(*pulCount, 128 - std::min<uint32_t>(ulAddress, 128));
    for (uint32_t i = 0; i < n; ++i)
        pucData[i] = lib().registers[ulAddress + i];
    *pulCount = static_cast<uint32_t>(static_cast<int32_t>(*pulCount) + lib().countChange);
    return lib().next();
}

int32_t WriteSlaveRegister(uint32_t ulHandle, uint32_t ulSelector, uint32_t ulSlaveId, uint32_t ulAddress,
                           uint32_t *pulCount, uint8_t *pucData, uint8_t ucMask)
{
    fake::Call &c = record("WriteSlaveRegister", {ulHandle, ulSelector, ulSlaveId, ulAddress, ucMask});
    c.count = *pulCount;
    c.data.assign(pucData, pucData + *pulCount);
    return lib().next();
}

} // extern "C"
