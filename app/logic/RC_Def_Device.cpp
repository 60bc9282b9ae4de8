// TRC_Device: the connected encoder as the program sees it, through the binding.
#include "RC_Def.h"

#include "ConfigBlock.h"
#include "EncoderMap.h"

#include <tarnbus/tarnbus.h>

#include <array>

namespace {

uint32_t BigEndian(std::span<const uint8_t> Bytes)
{
    uint32_t Value = 0;
    for (const uint8_t Byte : Bytes)
        Value = (Value << 8) | Byte;
    return Value;
}

// A fixed-width text field of the plate: its characters up to the first zero byte.
QString PlateText(std::span<const uint8_t> Bytes)
{
    size_t Length = 0;
    while (Length < Bytes.size() && Bytes[Length] != 0)
        ++Length;
    return QString::fromLatin1(reinterpret_cast<const char *>(Bytes.data()), static_cast<qsizetype>(Length));
}

// The plate block at 32..55, offsets relative to 32.
std::span<const uint8_t> BaseCountBytes(const std::array<uint8_t, 24> &Plate)
{
    return std::span(Plate).subspan(2, 3);
}
std::span<const uint8_t> SerialBytes(const std::array<uint8_t, 24> &Plate)
{
    return std::span(Plate).subspan(17, 7);
}

// A block as the encoder holds it: read twice, and a third time when the two differ, taking what two
// reads agree on. False when a read fails (the library's code in LastResult) or no two reads agree
// (Unsteady set).
bool ReadAgreed(TRC_Device &Device, uint32_t Address, std::array<uint8_t, ConfigBlockSize> &Block,
                bool &Unsteady)
{
    std::array<uint8_t, ConfigBlockSize> First{}, Second{};
    if (!Device.ReadBlock(Address, First) || !Device.ReadBlock(Address, Second))
        return false;
    if (First == Second) {
        Block = First;
        return true;
    }
    if (!Device.ReadBlock(Address, Block))
        return false;
    if (Block == First || Block == Second)
        return true;
    Unsteady = true;
    return false;
}

} // namespace

TRC_Device::TRC_Device()
    : Catalogue(std::make_unique<TConfigList>()), Com(std::make_unique<TBissCom>()),
      Options(std::make_unique<TRC_Option>())
{
    Options->Load();
}

TRC_Device::~TRC_Device()
{
    if (SaveOptionsAtExit)
        Options->Save();
    Options.reset();
    Catalogue.reset();
    Com.reset();
}

bool TRC_Device::ReadBlock(uint32_t Address, std::span<uint8_t> Buffer)
{
    return Com->ReadRegisters(0, 0, Address, Buffer);
}

bool TRC_Device::WriteBlock(uint32_t Address, std::span<const uint8_t> Bytes)
{
    return Com->WriteRegisters(0, 0, Address, Bytes);
}

bool TRC_Device::OpenAdapter()
{
    MasterConfigured = false;
    return Com->OpenCom(InterfaceKind, InterfaceName.c_str());
}

bool TRC_Device::CloseAdapter()
{
    MasterConfigured = false;
    return Com->CloseCom();
}

bool TRC_Device::ConfigureMaster()
{
    // The encoder's two data words and the register protocol of slave 0 (mode B unless RegisterModeC).
    // MC_E5_LOW_BITS is set twice.
    const std::array<std::pair<uint32_t, uint32_t>, 13> Items = {{
        {MC_DATA1_LENGTH, 10},
        {MC_DATA1_CRCPOLY, 0},
        {MC_DATA1_BIT7, 0},
        {MC_DATA2_LENGTH, 24},
        {MC_DATA2_CRCPOLY, 0},
        {MC_DATA2_BIT7, 0},
        {MC_E5_LOW_BITS, 1},
        {MC_DATA2_FLAG_A, 0},
        {MC_SLAVE_MODE_C, RegisterModeC ? 1u : 0u},
        {MC_F5_BIT0, 1},
        {MC_E6_LOW5, 4},
        {MC_E6_HIGH3, 2},
        {MC_E5_LOW_BITS, 1},
    }};
    for (const auto &[Item, Value] : Items)
        if (!Com->SetMasterItem(0, Item, Value))
            return false;
    return true;
}

bool TRC_Device::ApplyMasterConfig()
{
    MasterConfigured = Com->WriteMasterItems(1);
    return MasterConfigured;
}

bool TRC_Device::StartComm()
{
    return Com->InitComm();
}

bool TRC_Device::ReopenAndConfig()
{
    CloseAdapter(); // the handle may never have been opened
    return OpenAdapter() && ConfigureMaster() && ApplyMasterConfig();
}

int32_t TRC_Device::Probe()
{
    LastProbe = Com->CheckComm(0, 0);
    return LastProbe;
}

ConnectionState TRC_Device::CheckConnection()
{
    // The probe reads a slave register, which answers whatever the master's data layout is: it tells
    // a connection only of a master whose configuration was written. Any other one is opened and
    // configured again, and stays missing when that fails.
    if (MasterConfigured && Probe() == BISS_OK)
        return Connected;
    if (!ReopenAndConfig())
        return AdapterMissing;
    const int32_t Code = Probe();
    if (Code == BISS_OK)
        return Connected;
    return Code == BISS_COMM_FAILED ? EncoderMissing : AdapterMissing;
}

bool TRC_Device::ReadRatingPlate()
{
    std::array<uint8_t, 24> Plate{};
    if (!ReadBlock(EncoderMap::RatingPlate, Plate) || Plate[0] != 1)
        return false;
    const std::span<const uint8_t> P(Plate);
    ArtType = Plate[1];
    BaseCount = BigEndian(BaseCountBytes(Plate));
    ProductCode = PlateText(P.subspan(5, 6));
    SecondText = PlateText(P.subspan(11, 6));
    SerialNumber = PlateText(SerialBytes(Plate));

    std::array<uint8_t, 32> Order{};
    if (!ReadBlock(EncoderMap::OrderDesignation, Order))
        return false;
    OrderDesignation = QString::fromLatin1(reinterpret_cast<const char *>(Order.data()), Order.size());

    std::array<uint8_t, 16> Factory{};
    if (!ReadBlock(EncoderMap::FactoryBlock, Factory))
        return false;
    const std::span<const uint8_t> F(Factory);
    FactoryDivider = static_cast<uint16_t>(BigEndian(F.subspan(0, 2)));
    FactoryPulseCount = BigEndian(F.subspan(2, 4));
    FactoryDirection = Factory[6];
    FactoryZeroPulse = Factory[7];
    return true;
}

bool TRC_Device::ReadConfigBlock(int Which, uint16_t &Code, uint8_t &Dir, uint8_t &Mode, uint16_t &Div)
{
    if (Which != 0 && Which != 1)
        return false;
    std::array<uint8_t, ConfigBlockSize> Block{};
    if (!ReadBlock(Which == 0 ? EncoderMap::RamBlock : EncoderMap::EepromBlock, Block))
        return false;
    const TConfigBlockValues Values = DecodeConfigBlock(Block);
    Code = Values.Code;
    Dir = Values.Direction;
    Mode = Values.Mode;
    Div = Values.Divider;
    return true;
}

bool TRC_Device::ReadActualConfig()
{
    uint16_t Code = 0, Div = 0;
    uint8_t Dir = 0, Mode = 0;
    if (!ReadConfigBlock(0, Code, Dir, Mode, Div))
        return false;
    InterpolCode = Code;
    Divider = Div;
    Direction = Dir;
    ZeroPulse = Mode;
    PulseCount = 0;
    return true;
}

bool TRC_Device::WriteConfig(int Code, int Dir, int Div, int Mode, int Target)
{
    LastWrite = TWriteReport();
    std::vector<uint32_t> Blocks;
    switch (Target) {
    case 0:
        Blocks = {EncoderMap::RamBlock};
        break;
    case 1:
        Blocks = {EncoderMap::EepromBlock};
        break;
    case 2:
        Blocks = {EncoderMap::EepromBlock, EncoderMap::RamBlock};
        break;
    default:
        return false; // nothing to write is no success
    }
    LastWrite.Started = true;
    for (const uint32_t Address : Blocks) {
        LastWrite.EarlierBlocksDone = Address != Blocks.front();
        LastWrite.Address = Address;
        // The bits the program does not own are written back as read: they are read until two reads
        // agree, or one access lost on the way would be written into the encoder for good.
        std::array<uint8_t, ConfigBlockSize> Before{};
        if (!ReadAgreed(*this, Address, Before, LastWrite.Unsteady)) {
            LastWrite.Code = Com->LastResult;
            LastWrite.State = BlockUnchanged; // nothing was sent to it
            return false;
        }
        std::array<uint8_t, ConfigBlockSize> &Wanted = LastWrite.Wanted;
        Wanted = Before;
        MergeConfigBlock(Wanted, Code, Dir, Div, Mode);
        const bool Written = WriteBlock(Address, Wanted);
        LastWrite.Code = Com->LastResult;
        // Read back whether or not the write went through: a link that loses or garbles a transfer
        // without a word is caught here, and a write that broke off tells what it left behind. A
        // block that differs is read again: one read lost on the way does not fail a good write.
        std::array<uint8_t, ConfigBlockSize> &Found = LastWrite.Found;
        bool Read = ReadBlock(Address, Found);
        if (!Read || Found != Wanted)
            Read = ReadAgreed(*this, Address, Found, LastWrite.Unsteady);
        if (!Read) {
            if (Written)
                LastWrite.Code = Com->LastResult;
            LastWrite.State = BlockUnknown;
            return false;
        }
        LastWrite.State = Found == Wanted ? BlockWritten : Found == Before ? BlockUnchanged : BlockPartly;
        if (!Written)
            return false;
        if (Found != Wanted) {
            LastWrite.ReadBackDiffers = true;
            return false;
        }
    }
    return true;
}

bool TRC_Device::LoadFactorySettings(const TConfigList &List)
{
    LastWrite = TWriteReport(); // nothing written until WriteConfig runs
    if (!ReadRatingPlate())
        return false;
    const TConfig *Entry = List.FindByPulseCount(FactoryPulseCount);
    if (!Entry)
        return false;
    // The encoder's own factory divider, not the entry's.
    return WriteConfig(Entry->InterpolCode, FactoryDirection, FactoryDivider, FactoryZeroPulse, 2);
}

bool TRC_Device::CheckSameEncoder(bool &Same, bool &Blank)
{
    std::array<uint8_t, 24> Plate{};
    bool Read = ReadBlock(EncoderMap::RatingPlate, Plate);
    if (!Read) {
        // The old handle is closed first: every open takes one of the library's handles, even a
        // failed one, and the adapter cannot be opened twice.
        CloseAdapter();
        if (OpenAdapter() && ConfigureMaster() && ApplyMasterConfig() && StartComm())
            Read = ReadBlock(EncoderMap::RatingPlate, Plate);
    }
    if (!Read)
        return false;
    const auto Resolution = BaseCountBytes(Plate);
    Same = Plate[1] == ArtType && BigEndian(Resolution) == BaseCount &&
           PlateText(SerialBytes(Plate)) == SerialNumber;
    Blank = Resolution[0] == 0 && Resolution[1] == 0 && Resolution[2] == 0;
    return true;
}
