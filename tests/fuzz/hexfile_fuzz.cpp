// libFuzzer target: any file content given to the HEX reader. The reader must answer with one of its
// result codes, never read or write outside the image, and never throw (the image has the rows asked
// for). Whatever a successful read leaves in the image must survive a write and a second read.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "tarnbus/DatalibClass.h"

namespace {

const std::string &strTempPath()
{
    static const std::string strPath = [] {
        char acTemplate[] = "/tmp/tarnbus-hexfuzz-XXXXXX";
        const int iFd = mkstemp(acTemplate);
        if (iFd < 0)
            std::abort();
        close(iFd);
        return std::string(acTemplate);
    }();
    return strPath;
}

void vCheck(const uint8_t *pData, size_t uSize)
{
    const std::string &strPath = strTempPath();
    {
        std::ofstream file(strPath, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char *>(pData), static_cast<std::streamsize>(uSize));
    }
    DatalibClass image(128, 4, 2);
    const HexfileErrorEnum eResult = image.eReadHexFile(strPath, 1, 2, 2);
    if (eResult < HEXFILE_OK || eResult > HEXFILE_STREAM_ERROR || eResult == HEXFILE_END_RECORD)
        std::abort();
    if (eResult != HEXFILE_OK)
        return;

    // Round trip of what was read: rows that read back whole must come back byte for byte.
    if (image.eWriteHexFile(strPath, 1, 2, 2) != HEXFILE_OK)
        std::abort();
    DatalibClass again(128, 4, 2);
    if (again.eReadHexFile(strPath, 1, 2, 2) != HEXFILE_OK)
        return;
    for (int iRow = 1; iRow <= 2; ++iRow)
        for (int b = 0; b < 128; ++b)
            if (again.bIfValid(2, iRow, b) != image.bIfValid(2, iRow, b) ||
                again.ucGetValue(2, iRow, b) != image.ucGetValue(2, iRow, b))
                std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t uSize)
{
    vCheck(pData, uSize);
    std::remove(strTempPath().c_str());  // nothing is left behind when the run ends
    return 0;
}
