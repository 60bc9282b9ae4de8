#include "BissCom.h"

#include <tarnbus/result_names.h>
#include <tarnbus/tarnbus.h>

#include <QTime>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <thread>

namespace {

// The log window of a build without windows: every line goes to standard error.
class TStderrLogWindow final : public TLogWindow {
public:
    void AddLine(const QString &Line) override
    {
        std::fprintf(stderr, "%s\n", Line.toLocal8Bit().constData());
        std::fflush(stderr);
    }
    void Show() override {}
    void ForceClose() override {}
};

TBissCom::TLogWindowFactory &Factory()
{
    static TBissCom::TLogWindowFactory Instance;
    return Instance;
}

// Latin-1 letters a trace line may carry as they are: º Ä Ö Ü ä ö ü.
bool KeptEightBit(char16_t Code)
{
    switch (Code) {
    case 0xBA:
    case 0xC4:
    case 0xD6:
    case 0xDC:
    case 0xE4:
    case 0xF6:
    case 0xFC:
        return true;
    default:
        return false;
    }
}

} // namespace

TBissCom::TBissCom() = default;

TBissCom::~TBissCom()
{
    if (Logging)
        CloseDebug();
}

bool TBissCom::OpenCom(uint32_t Kind, const char *Name)
{
    LastResult = OpenInterface(Kind, Name, &m_reserved1, &m_reserved2, &Handle);
    return LastResult == BISS_OK;
}

bool TBissCom::CloseCom()
{
    LastResult = CloseInterface(Handle);
    return LastResult == BISS_OK;
}

bool TBissCom::InitComm()
{
    LastResult = InitBissComm(Handle);
    if (LastResult != BISS_OK) {
        // The master sometimes needs a moment after power-up; one more try decides.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        LastResult = InitBissComm(Handle);
    }
    return LastResult == BISS_OK;
}

bool TBissCom::ReadRegisters(uint32_t Selector, uint32_t SlaveId, uint32_t Address, std::span<uint8_t> Data)
{
    uint32_t Count = static_cast<uint32_t>(Data.size());
    LastResult = ReadSlaveRegister(Handle, Selector, SlaveId, Address, &Count, Data.data());
    if (Logging) {
        const size_t Reported = std::min<size_t>(Count, Data.size());
        Log(HexLine("<-- ", Address, Data.first(Reported)));
    }
    return LastResult == BISS_OK;
}

bool TBissCom::WriteRegisters(uint32_t, uint32_t, uint32_t Address, std::span<const uint8_t> Data)
{
    bool Ok = true;
    for (size_t i = 0; i < Data.size(); ++i) {
        if (!WriteRegister(0, 0, Address + static_cast<uint32_t>(i), Data[i], 0xFF)) {
            Ok = false;
            break;
        }
    }
    if (Logging)
        Log(HexLine("--> ", Address, Data));
    return Ok;
}

bool TBissCom::WriteRegister(uint32_t Selector, uint32_t SlaveId, uint32_t Address, uint8_t Value,
                             uint8_t Mask)
{
    uint32_t Count = 1;
    uint8_t Byte = Value;
    LastResult = WriteSlaveRegister(Handle, Selector, SlaveId, Address, &Count, &Byte, Mask);
    return LastResult == BISS_OK;
}

bool TBissCom::SetMasterItem(uint32_t Slave, uint32_t Item, uint32_t Value)
{
    LastResult = SetMasterConfig(Handle, Slave, Item, Value);
    return LastResult == BISS_OK;
}

bool TBissCom::WriteMasterItems(uint32_t Force)
{
    LastResult = WriteMasterConfig(Handle, Force);
    return LastResult == BISS_OK;
}

int32_t TBissCom::CheckComm(uint32_t Selector, uint32_t SlaveId)
{
    uint32_t Count = 1;
    uint8_t Byte = 0;
    const int32_t Code = ReadSlaveRegister(Handle, Selector, SlaveId, 32, &Count, &Byte);
    if (Logging)
        Log(QStringLiteral("Check: ") + QString::number(Code));
    return Code;
}

bool TBissCom::ReadPositions(uint32_t Cycles, uint32_t *Scd, uint32_t *Mcd, uint8_t *McdValid, uint32_t &Done)
{
    // A block the library refuses runs no cycle and leaves the count alone.
    Done = 0;
    LastResult = ReadSensBlock(Handle, Cycles, Scd, Mcd, McdValid, &Done);
    return LastResult == BISS_OK;
}

bool TBissCom::GetMasterItem(uint32_t Slave, uint32_t Item, uint32_t &Value)
{
    LastResult = GetMasterConfig(Handle, Slave, Item, &Value);
    return LastResult == BISS_OK;
}

bool TBissCom::ReadMasterRegister(uint32_t Address, uint32_t &Value)
{
    LastResult = ReadMaster(Handle, Address, &Value);
    return LastResult == BISS_OK;
}

void TBissCom::ShowDebug()
{
    if (!Logging) {
        // A window closed earlier is not reused: it stays hidden until the binding goes.
        if (m_currentWindow)
            m_oldWindows.push_back(std::move(m_currentWindow));
        m_currentWindow = Factory() ? Factory()(*this) : std::make_unique<TStderrLogWindow>();
        m_currentWindow->SetCloseHook([this] { CloseDebug(); });
        m_currentWindow->SetCaption(QStringLiteral("Debug tarnbus"));
        m_currentWindow->SetWidth(555);
        Logging = true;
    }
    m_currentWindow->Show();
}

void TBissCom::CloseDebug()
{
    Logging = false;
    if (m_currentWindow)
        m_currentWindow->ForceClose();
}

void TBissCom::SetLogWindowFactory(TLogWindowFactory NewFactory)
{
    Factory() = std::move(NewFactory);
}

QString TBissCom::TimeStamp()
{
    const QTime Now = QTime::currentTime();
    return QString::asprintf("%.2d:%.2d:%.2d,%.3d", Now.hour(), Now.minute(), Now.second(), Now.msec());
}

QString TBissCom::EscapeText(const QString &Text)
{
    static const char Digits[] = "0123456789ABCDEF";
    QString Result;
    Result.reserve(Text.size());
    for (const QChar Char : Text) {
        const char16_t Code = Char.unicode();
        if ((Code >= 32 && Code <= 126) || KeptEightBit(Code)) {
            Result += Char;
            continue;
        }
        Result += QChar('#');
        // Characters beyond 8 bits keep all their digits rather than losing the high byte.
        if (Code > 0xFF) {
            Result += QChar(Digits[(Code >> 12) & 0xF]);
            Result += QChar(Digits[(Code >> 8) & 0xF]);
        }
        Result += QChar(Digits[(Code >> 4) & 0xF]);
        Result += QChar(Digits[Code & 0xF]);
    }
    return Result;
}

QString TBissCom::ResultName(int32_t Code)
{
    if (Code >= BISS_OK && Code <= BISS_COMM_FAILED)
        return QString::fromLatin1(strBissResultName(Code));
    return QStringLiteral("code %1").arg(Code);
}

void TBissCom::Log(const QString &Line)
{
    if (m_currentWindow)
        m_currentWindow->AddLine(EscapeText(Line));
}

QString TBissCom::HexLine(const char *Arrow, uint32_t Address, std::span<const uint8_t> Bytes)
{
    QString Line = TimeStamp() + QLatin1String(Arrow) + QString::asprintf("%.2X:", Address);
    for (const uint8_t Byte : Bytes)
        Line += QString::asprintf(" %.2X", Byte);
    return Line;
}
