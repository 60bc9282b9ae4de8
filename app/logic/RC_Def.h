// Rotaconf's model: the article-type catalogue "Encoder.cfg", the settings "Rotaconf.ini" with the
// two-language text table, and the encoder device model on top of the library binding.
#ifndef ROTACONF_RC_DEF_H
#define ROTACONF_RC_DEF_H

#include "BissCom.h"
#include "UserMessages.h"

#include <tarnbus/tarnbus.h>

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

class QIODevice;
class QWidget;

// ---------------------------------------------------------------------------------------------------
// Catalogue

// One catalogue entry: the register values that give one output pulse count for an article type and
// basic resolution.
class TConfig {
public:
    int32_t ArtType = 0;
    QString Comment;        // name of the article type; empty in filtered copies
    uint32_t BaseCount = 0; // basic resolution
    uint32_t PulseCount = 0;
    int16_t InterpolCode = 0; // 5-bit setting code (configuration byte 0, bits 0..4)
    int16_t Divider = 0;      // 15-bit divider (configuration bytes 4..5)
    int32_t Spare1 = 0;       // stored in the file, not interpreted
    int32_t Spare2 = 0;       // stored in the file, not interpreted
    uint32_t ListValue = 0;   // second column of the manual selection list
    int64_t Spare3 = 0;       // stored in the file, not interpreted
    uint8_t ListByte = 0;     // third column of the manual selection list

    // Copies every numeric field, leaves Comment empty.
    void CopyNumbers(const TConfig &From);
};

// One article-type text.
class TArtTypeComment {
public:
    int32_t Id = 0;
    QString Text;
};

class TArtTypeCommentList {
public:
    void Clear();
    int Count() const { return static_cast<int>(m_items.size()); }
    TArtTypeComment *At(int Index) const; // nullptr when out of range
    TArtTypeComment *AddNew();
    // Reads the comment section (count, then the records). Every announced record is appended; after
    // the first short read the rest stay empty. False on a short read, or when a count or length
    // announces more than the stream still holds: then the records that are there are kept, and no
    // room is set aside for the ones the stream cannot hold.
    bool ReadFromStream(QIODevice &Stream);
    // Text of the first comment with that id, else "unknown".
    QString TextOf(int32_t Id) const;

private:
    std::vector<std::unique_ptr<TArtTypeComment>> m_items;
};

// The catalogue, or a scratch list of filtered copies (whose comment list stays empty). Entries keep
// their address for the life of the list, until Clear.
class TConfigList {
public:
    TConfigList();
    ~TConfigList();
    TConfigList(const TConfigList &) = delete;
    TConfigList &operator=(const TConfigList &) = delete;

    TArtTypeCommentList Comments;

    // Reads "Encoder.cfg"; every failure is reported through UserMessages().Error. True when the
    // whole file was read.
    bool LoadFromFile(const QString &FileName);
    // Steps after the file was found: clears the catalogue and reads Stream as "Encoder.cfg";
    // FileName only names it in messages.
    bool LoadFromDevice(QIODevice &Stream, const QString &FileName);
    void Clear();
    int Count() const { return static_cast<int>(m_items.size()); }
    TConfig *At(int Index) const; // file order, 0-based; nullptr when out of range
    TConfig *AddCopy(const TConfig &From);

    // Clears Dest, then appends copies of the entries of that article type, in catalogue order.
    void FilterByArtType(int32_t Key, TConfigList &Dest) const;
    // Clears Dest, then appends copies of the entries of that basic resolution; negative: none.
    void FilterByBaseCount(TConfigList &Dest, int64_t Value) const;
    // First entry (catalogue order) with that code and divider, or nullptr.
    TConfig *FindBySetting(int Code, int Divider) const;
    // First entry with that pulse count, or nullptr.
    TConfig *FindByPulseCount(uint32_t Count) const;
    // Clears List, then adds the decimal basic resolution of each entry once, in catalogue order.
    void BaseCountTexts(QStringList &List) const;

    // Shows the manual selection window modally over Owner and returns its modal result. Lives with
    // the windows; neither the logic library nor the command line calls it.
    int ManualSelection(QWidget *Owner, int LangBase);

private:
    // Clears this list, then appends copies of Source's entries that Wanted accepts.
    void TakeCopies(const std::function<bool(const TConfig &)> &Wanted, const TConfigList &Source);

    std::vector<std::unique_ptr<TConfig>> m_items;
};

// ---------------------------------------------------------------------------------------------------
// Settings and texts

// Ids of the program's texts; a window adds the language base to pick English or German.
enum TTextId : int {
    TxtFile = 1,
    TxtQuit = 2,
    TxtReadFromEncoder = 3,
    TxtSystemSettings = 4,
    TxtLanguage = 5,
    TxtGridHeader0 = 6,     // 6..8: the manual selection's column headers, which have no text
    TxtDirectionCcw = 9,    // direction 0
    TxtDirectionCw = 10,    // direction 1
    TxtZeroPulseMode0 = 11, // zero-pulse mode m has the text TxtZeroPulseMode0 + m (m = 0..6)
    TxtZeroPulseMode1 = 12,
    TxtZeroPulseMode6 = 17,
    TxtFactorySettings = 18,
    TxtOrderDesignation = 19,
    TxtBasicResolution = 20,
    TxtPulseCount = 21,
    TxtDirection = 22,
    TxtZeroPulse = 23,
    TxtLoadFactorySettings = 24,
    TxtParameters = 25,
    TxtMaxRevolutions = 26,
    TxtSignalPerformance = 27,
    TxtDirection2 = 28,
    TxtRead = 29,
    TxtWrite = 30,
    TxtEncoderNotConnected = 31,
    TxtAdapterNotConnected = 32,
    TxtUsbInitFailed = 33,
    TxtInitFailed = 34,
    TxtCommunication = 35,
    TxtReadBackDiffers = 36 // a configuration block read back after writing differs from what was written
};

// Language bases: a window adds the base to a text id.
constexpr int LangEnglish = 0;
constexpr int LangGerman = 1000;

// "Rotaconf.ini" in the user's configuration directory ($XDG_CONFIG_HOME, else ~/.config):
// [Main] Top, Left and [System] Lang, and the language base that selects the texts.
class TRC_Option {
public:
    static constexpr const char *FileName = "Rotaconf.ini";

    int32_t Top = 200;
    int32_t Left = 300;
    int32_t LangBase = LangEnglish; // LangEnglish or LangGerman

    // Full path of the settings file.
    static QString FilePath();
    // Missing file, section, key or a value that is no number: that key's default. Lang is clamped
    // to 0..1.
    void Load();
    void Save() const;

    // The text LangBase + Id (Id 1..36); empty when there is none.
    QString Text(int Id) const { return TextOf(LangBase + Id); }
    // The text of an absolute id: 1..36 English, 1001..1036 German; empty for any other.
    static QString TextOf(int AbsoluteId);
};

// ---------------------------------------------------------------------------------------------------
// Encoder device model

enum ConnectionState : int {
    Connected = 0,
    EncoderMissing = 1,
    AdapterMissing = 2
};

// What a configuration block holds after a write, as read back.
enum TBlockState : int {
    BlockUnknown = 0,   // could not be read back
    BlockUnchanged = 1, // what it held before the write
    BlockWritten = 2,   // the new configuration
    BlockPartly = 3     // neither: some registers new, or a value nobody wrote
};

// How the last WriteConfig ended: at which block, and what that block held when read back.
struct TWriteReport {
    bool Started = false;           // a WriteConfig with a known target ran
    uint32_t Address = 0;           // the block the write ended at (the failed one, or the last one)
    bool EarlierBlocksDone = false; // the blocks before it (the EEPROM's before the RAM's) were verified
    bool ReadBackDiffers = false;   // every register was written, but the block read back otherwise
    bool Unsteady = false;          // the block read differently each time, before or after the write
    int32_t Code = 0; // the library's code of the failed transfer; 0 when only the read-back differed
    TBlockState State = BlockUnknown;
    std::array<uint8_t, 6> Wanted{}, Found{}; // what was written, what was read back
};

class TRC_Device {
public:
    TRC_Device();  // creates Catalogue, Com, Options (and loads them), then ErrorLog
    ~TRC_Device(); // saves the settings (see SaveOptionsAtExit), then frees Options, Catalogue, Com
    TRC_Device(const TRC_Device &) = delete;
    TRC_Device &operator=(const TRC_Device &) = delete;

    QStringList ErrorLog;
    // The window program writes its settings back at exit; a front end that changes none of them
    // clears this and leaves the user's file untouched.
    bool SaveOptionsAtExit = true;

    // Rating plate (register addresses 32..55, 56..87)
    uint8_t ArtType = 0;
    uint32_t BaseCount = 0;
    QString ProductCode;      // at most 6 characters
    QString SecondText;       // at most 6 characters, read and not used
    QString SerialNumber;     // at most 7 characters
    QString OrderDesignation; // 32 characters as stored (a zero character ends what is shown)
    // Factory block (88..95)
    uint16_t FactoryDivider = 0;
    uint32_t FactoryPulseCount = 0;
    uint8_t FactoryDirection = 0;
    uint8_t FactoryZeroPulse = 0;
    // Current configuration (RAM block 0..5); PulseCount is looked up in the catalogue by the caller
    uint16_t InterpolCode = 0;
    uint16_t Divider = 0;
    uint32_t PulseCount = 0;
    uint8_t Direction = 0; // 0 or 1
    uint8_t ZeroPulse = 0; // mode 0..6

    // Slave 0's register protocol, sent with the master items: register mode B unless set (the
    // command-line program's --register-mode c runs every register through control frames).
    bool RegisterModeC = false;

    std::unique_ptr<TConfigList> Catalogue;
    std::unique_ptr<TBissCom> Com;
    std::unique_ptr<TRC_Option> Options;

    // Register traffic of slave 0, selector 0.
    bool ReadBlock(uint32_t Address, std::span<uint8_t> Buffer);
    bool WriteBlock(uint32_t Address, std::span<const uint8_t> Bytes);

    // The adapter OpenAdapter opens: the USB adapter with an empty name unless a front end chose
    // another kind (the parallel-port kinds take their port base as the name, e.g. "0x378").
    uint32_t InterfaceKind = INTERFACE_USB;
    std::string InterfaceName;
    bool OpenAdapter();
    bool CloseAdapter();
    bool ConfigureMaster();   // the master item sequence, stopping at the first refused item
    bool ApplyMasterConfig(); // force 1
    bool StartComm();
    bool ReopenAndConfig();
    // True once ApplyMasterConfig has written the master configuration on the handle now open; an
    // opening, a closing or a failed write clears it.
    bool MasterConfigured = false;
    int32_t Probe();       // raw library code of a one-register read at 32
    int32_t LastProbe = 0; // code of the latest Probe, for messages that name it
    ConnectionState CheckConnection();

    bool ReadRatingPlate();
    // Which 0: RAM block at 0; 1: EEPROM block at 16; anything else fails without reading.
    bool ReadConfigBlock(int Which, uint16_t &Code, uint8_t &Direction, uint8_t &Mode, uint16_t &Divider);
    bool ReadActualConfig();
    // Target 1: EEPROM only, 0: RAM only, 2: EEPROM then RAM. Read-modify-write of each block, each
    // read back after writing: a block that reads back otherwise fails the write. LastWrite tells how
    // it ended.
    bool WriteConfig(int Code, int Direction, int Divider, int Mode, int Target);
    TWriteReport LastWrite;
    bool LoadFactorySettings(const TConfigList &Catalogue);
    // True when the plate could be read; Same: the same encoder as read at Init; Blank: no basic
    // resolution on the plate.
    bool CheckSameEncoder(bool &Same, bool &Blank);

    // Shows the register view modally. Lives with the windows; neither the logic library nor the
    // command line calls it.
    void ShowRegisters(QWidget *Owner = nullptr);
};

#endif
