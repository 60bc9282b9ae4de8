// TBissCom: the program's only door to the BiSS master library. Every library call is made here,
// with the fixed argument values the program uses; results come back as yes/no, the library's code
// is kept in LastResult, and while Logging is on every register transfer is traced into a log window.
#ifndef ROTACONF_BISSCOM_H
#define ROTACONF_BISSCOM_H

#include "LogWindow.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

class TBissCom {
public:
    // Makes the log window for ShowDebug. Without a factory the binding makes a window that writes
    // every line to standard error.
    using TLogWindowFactory = std::function<std::unique_ptr<TLogWindow>(TBissCom &)>;

    static constexpr uint32_t kMaxPositionCycles = 65536; // most cycles of one ReadPositions

    TBissCom();
    ~TBissCom(); // performs CloseDebug first while Logging is on
    TBissCom(const TBissCom &) = delete;
    TBissCom &operator=(const TBissCom &) = delete;

    uint32_t Handle = 0;    // written by OpenInterface
    int32_t LastResult = 0; // code of the last library call (CheckComm excepted)
    bool Logging = false;

    // Each returns true exactly when the library answered 0 and stores the code in LastResult.
    bool OpenCom(uint32_t Kind, const char *Name);
    bool CloseCom();
    bool InitComm(); // one retry after 10 ms when the first call fails
    // Reads Data.size() registers from Address on. The library may report fewer bytes; the log line
    // lists what it reported, never more than the buffer holds.
    bool ReadRegisters(uint32_t Selector, uint32_t SlaveId, uint32_t Address, std::span<uint8_t> Data);
    // One WriteRegister per byte (selector and slave id 0, mask 0xFF), in order, stopping at the first
    // byte that fails. Selector and SlaveId are accepted and ignored.
    bool WriteRegisters(uint32_t Selector, uint32_t SlaveId, uint32_t Address, std::span<const uint8_t> Data);
    bool WriteRegister(uint32_t Selector, uint32_t SlaveId, uint32_t Address, uint8_t Value, uint8_t Mask);
    bool SetMasterItem(uint32_t Slave, uint32_t Item, uint32_t Value);
    bool WriteMasterItems(uint32_t Force);
    // Reads register 32 of the slave and returns the library's code unchanged; LastResult stays.
    int32_t CheckComm(uint32_t Selector, uint32_t SlaveId);

    // Position samples: runs Cycles (1..65536) sensor cycles back to back. Scd and Mcd hold Cycles x n
    // words (n = the slave count, master item MC_E5_LOW_BITS), cycle after cycle (word c * n + s);
    // McdValid one byte per cycle, 1 when a slave delivered a valid second word in that cycle. An Mcd
    // word is written only where that slave's second word was valid. Done = the cycles stored: all of
    // them on success; on a failure the cycles before the failing one, nothing of it or after it, and
    // the failure in LastResult as one sensor cycle reports it.
    bool ReadPositions(uint32_t Cycles, uint32_t *Scd, uint32_t *Mcd, uint8_t *McdValid, uint32_t &Done);
    // A master item as the library holds it (GetMasterConfig).
    bool GetMasterItem(uint32_t Slave, uint32_t Item, uint32_t &Value);
    // One master chip register (ReadMaster).
    bool ReadMasterRegister(uint32_t Address, uint32_t &Value);

    // Switches logging on with a new, empty window (when it was off) and shows the window.
    void ShowDebug();
    // Switches logging off and closes the window through its forced-close path.
    void CloseDebug();
    // The window in use (the latest one created), or nullptr before the first ShowDebug.
    TLogWindow *DebugForm() const { return m_currentWindow.get(); }

    static void SetLogWindowFactory(TLogWindowFactory Factory);

    // "hh:mm:ss,mmm" of the local time of day.
    static QString TimeStamp();
    // Keeps the characters 32..126 and the 8-bit letters º Ä Ö Ü ä ö ü; any other character becomes
    // "#" and its code in upper-case hexadecimal.
    static QString EscapeText(const QString &Text);
    // Name of a library result code ("BISS_OK" .. "BISS_COMM_FAILED"), or "code <n>" for an unknown one.
    static QString ResultName(int32_t Code);

private:
    void Log(const QString &Line);
    static QString HexLine(const char *Arrow, uint32_t Address, std::span<const uint8_t> Bytes);

    // Handed to OpenInterface as its third and fourth arguments; nothing reads them.
    uint32_t m_reserved1 = 0;
    uint32_t m_reserved2 = 0;
    std::unique_ptr<TLogWindow> m_currentWindow;
    // Windows of earlier logging sessions: hidden, kept until the binding is freed.
    std::vector<std::unique_ptr<TLogWindow>> m_oldWindows;
};

#endif
