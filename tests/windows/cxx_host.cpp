/*
 * A C++ host as docs/windows.md tells one to build it: the headers and the import library of the zip,
 * the same compiler, the shared libgcc. It catches the bool that a register image throws inside
 * tarnbus.dll, and calls a flat function through the import library after naming the simulated
 * adapter with SetEnvironmentVariableA, as hosts in other languages do. Exits 0 when all went well.
 */
#include <windows.h>

#include <cstdio>
#include <stdexcept>

#include "DatalibClass.h"
#include "tarnbus.h"

namespace {

int iFailures = 0;

void vCheck(bool bOk, const char *strWhat)
{
    std::printf("%-60s %s\n", strWhat, bOk ? "ok" : "FAILED");
    if (!bOk)
        ++iFailures;
}

// What a call on the image threw, seen from this side of the DLL: 'b' for the bool, 'i' for
// std::invalid_argument, '-' for nothing.
template <typename F>
char cThrown(F f)
{
    try {
        f();
    } catch (bool) {
        return 'b';
    } catch (const std::invalid_argument &) {
        return 'i';
    }
    return '-';
}

} // namespace

int main()
{
    DatalibClass img(16, 2, 1);
    vCheck(cThrown([&] { img.vSetValue(1, 1, 5, 0x42); }) == '-', "a byte inside the image is set");
    vCheck(img.ucGetValue(1, 1, 5) == 0x42, "and reads back");
    vCheck(cThrown([&] { (void)img.ucGetValue(2, 0, 0); }) == 'b', "a page outside the image: catch (bool)");
    vCheck(cThrown([&] { (void)img.ucGetValue(1, 0, 16); }) == 'b', "a byte outside the row: catch (bool)");
    vCheck(cThrown([] { DatalibClass bad(0, 1, 1); }) == 'i', "dimension 0: catch (std::invalid_argument)");
    vCheck(img.ucGetValue(1, 1, 5) == 0x42, "the image is unchanged after the throws");

    // A variable set through the Win32 call, after start: the library reads the process environment.
    SetEnvironmentVariableA("TARNBUS_FTD2XX", "ftd2xx-sim.dll");
    uint32_t ulHandle = 0;
    vCheck(OpenInterface(4, "", nullptr, nullptr, &ulHandle) == BISS_OK,
           "OpenInterface on the adapter named at run time");
    vCheck(CloseInterface(ulHandle) == BISS_OK, "CloseInterface");
    return iFailures ? 1 : 0;
}
