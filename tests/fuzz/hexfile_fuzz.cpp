// libFuzzer target: any file content given to the HEX reader, which must answer with one of its
// result codes without reading or writing outside the image or throwing (the image has the rows).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "tarnbus/DatalibClass.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t uSize)
{
    static const std::string strPath = [] {
        char acTemplate[] = "/tmp/tarnbus-hexfuzz-XXXXXX";
        const int iFd = mkstemp(acTemplate);
        if (iFd < 0)
            std::abort();
        close(iFd);
        return std::string(acTemplate);
    }();
    std::ofstream(strPath, std::ios::binary)
        .write(reinterpret_cast<const char *>(pData), static_cast<std::streamsize>(uSize));
    DatalibClass image(128, 4, 2);
    const HexfileErrorEnum eResult = image.eReadHexFile(strPath, 1, 2, 2);
    std::remove(strPath.c_str()); // nothing is left behind when the run ends
    if (eResult < HEXFILE_OK || eResult > HEXFILE_STREAM_ERROR || eResult == HEXFILE_END_RECORD)
        std::abort();
    return 0;
}
