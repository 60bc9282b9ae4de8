// CRC of a bit text: a shift register as wide as the generator minus one, fed with the data text from
// its last character to its first. Character j of the result is bit j of the CRC.
#include "tarnbus/BissClass.h"

std::string BissClass::strCrcGen(const std::string &strData, const std::string &strPoly)
{
    if (strPoly.size() < 2)
        return std::string(); // a generator of one term (or none) leaves no CRC bits
    const size_t uiWidth = strPoly.size() - 1;
    std::string strReg(uiWidth, '0');
    for (size_t i = strData.size(); i-- > 0;) {
        // Anything but '1' counts as a 0 bit; the library's own texts hold only '0' and '1'.
        const bool bFeed = (strData[i] == '1') != (strReg[uiWidth - 1] == '1');
        for (size_t j = uiWidth - 1; j >= 1; --j) {
            const bool bPrev = strReg[j - 1] == '1';
            strReg[j] = (strPoly[j] == '1' ? bPrev != bFeed : bPrev) ? '1' : '0';
        }
        strReg[0] = bFeed ? '1' : '0';
    }
    return strReg;
}
