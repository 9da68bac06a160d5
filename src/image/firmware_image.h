#pragma once

#include "image/change_set.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A run of addresses, both ends included.
struct AddressRange {
    uint32_t first;
    uint32_t last;
    bool operator==(const AddressRange& o) const { return first == o.first && last == o.last; }
};

// Why a HEX load stopped before the end of the file.
enum class HexStop {
    None,               // the file was read to its end
    BlankLine,          // an empty line before more records
    NoRecordMark,       // a line without ':'
    BadDigit,           // a character that is not a hexadecimal digit
    LineTooLong,        // more than 254 characters
    AddressAbove8000,   // a record whose 16-bit offset is above 0x8000
    LengthMismatch,     // the length byte disagrees with the bytes of the line
    BadChecksum,        // the record's checksum byte is wrong
    BadExtendedAddress, // an upper address record (type 02 or 04) without a 2-byte value
};

// How a HEX load went. The image is complete only when every byte of 0x0000..0x7FFF came from
// the file: the file was read to its end, has an end-of-file record, its data records cover
// the whole image and hold nothing outside it. A load that is not complete keeps what it
// read, but a caller must never present such an image as whole: it could be programmed into
// a unit.
struct HexLoadResult {
    bool complete = false;
    HexStop stop = HexStop::None;
    int line = 0;           // 1-based line where the load stopped (0 when it read to the end)
    std::string reason;     // short English text of the stop, e.g. "bad record checksum"
    bool endRecord = false; // an end-of-file record (type 01) was read
    // Image addresses (0x0000..0x7FFF) that no data record gave, in rising order.
    std::vector<AddressRange> missing;
    // Full addresses of data bytes that lie neither at 0x000000..0x007FFF nor at the unit's
    // own addresses 0xC00000..0xC07FFF; they are not stored. Rising order, merged.
    std::vector<AddressRange> outside;
};

// One record of the full-load line: the fractional column of the maximum air flow on the load
// axis, and the three maps interpolated there.
struct FullLoadPoint {
    double Pos;
    double Uoz;
    double Tau;
    double Lambda;
};

// The one in-memory copy of the control unit's 32 KB memory and the decoded view of the
// calibration data inside it. Data is the only truth, and it is private: it is read through
// Bytes, ReadByte and ReadWord and changed only by the writes and loads below, so the image itself
// keeps the decoded tables current. Every change set and every load decodes every table from
// scratch before listeners hear of it; writes inside a WriteBatch decode once, when the batch
// ends. Nobody calls Decode after a write: only a switch of UseO2Maps, the map set decoded,
// asks for Decode again.
//
// Data changes in two ways only, and listeners hear of both:
// - an edit: WriteByte, WriteWord, ReplaceData (and EncodeIdent and UpdateChecksum, which use
//   them) hand every listener one change set of the bytes that really changed. A unit read
//   into the image is such an edit: LoadedCopy stays, so the image counts as modified against
//   its file, and an edit history can take the read back like any other edit;
// - a load: LoadHex, LoadBin, AdoptLoad and Clear set Data and LoadedCopy together and call
//   DataReplaced without a change set. The image now stands for another file, so the edits
//   before it no longer apply: an edit history starts afresh and change marks are dropped.
//   Listing 32 768 bytes as an edit would instead let an undo step write one file's bytes
//   into another while LoadedCopy, Loaded and Complete describe the new one.
class FirmwareImage {
public:
    static constexpr std::size_t Size = 0x8000;
    static constexpr int Rows = 39;     // speed points
    static constexpr int LoadCols = 22; // load points of the main map
    static constexpr int DrCols = 7;    // throttle points of the correction map
    static constexpr int RcodRowCount = 10;
    static constexpr int RcodColCount = 11;
    static constexpr int IdentCount = 14;

    FirmwareImage();
    ~FirmwareImage();
    FirmwareImage(const FirmwareImage&) = delete;
    FirmwareImage& operator=(const FirmwareImage&) = delete;

    // Row and column labels of Rcod.
    const uint32_t RcodRows[RcodRowCount];
    const uint32_t RcodCols[RcodColCount];

    // The address table: raw addresses of every calibration structure. Every part that
    // addresses a raw structure takes the address from here.
    const uint16_t AddrTauBase;
    const uint16_t AddrMainMap;
    const uint16_t AddrCorMap;
    const uint16_t AddrMainMapO2;
    const uint16_t AddrCorMapO2;
    const uint16_t AddrPmax;
    const uint16_t AddrDrmax;
    const uint16_t AddrEquipment;
    const uint16_t AddrNuz;
    const uint16_t AddrP;
    const uint16_t AddrEcuType;
    const uint16_t AddrEcuMaker;
    const uint16_t AddrEcuSoftVersion;
    const uint16_t AddrProgController;
    const uint16_t AddrProgIdent;
    const uint16_t AddrProgVersion;
    const uint16_t AddrDataType;
    const uint16_t AddrDataVersion;
    const uint16_t AddrDataFile;
    const uint16_t AddrDataDate;
    const uint16_t AddrDataEngine;
    const uint16_t AddrCarEngine;
    const uint16_t AddrCarBody;
    const uint16_t AddrCarDate;
    const uint16_t AddrRcod;

    // Constants of the Lambda formula.
    const double InjectorGain;
    const double InjectorOffset;
    const double StoichRatio;

    // Identification texts, code page 1251, trimmed, zero-terminated. Array size is N + 1.
    char EcuType[17];
    char EcuMaker[17];
    char EcuSoftVersion[13];
    char ProgController[8];
    char ProgIdent[13];
    char ProgVersion[5];
    char DataType[17];
    char DataVersion[4];
    char DataFile[17];
    char DataDate[17];
    char DataEngine[17];
    char CarEngine[17];
    char CarBody[17];
    char CarDate[17];

    // Decoded tables, [row][column]. All zero in a new image until its first load or write; from
    // then on they describe Data (see the class comment).
    double Tau[Rows][LoadCols];
    double Uoz[Rows][LoadCols];
    double Lambda[Rows][LoadCols];
    double CoefCorTau[Rows][DrCols];
    double CoefCorUoz[Rows][DrCols];
    double CorTau[Rows][DrCols];
    double CorUoz[Rows][DrCols];
    double Rcod[RcodRowCount][RcodColCount];
    uint16_t PmaxRaw[Rows];
    uint16_t Pmax[Rows];
    uint8_t DrmaxRaw[Rows];
    double Drmax[Rows];
    uint16_t TauBase;
    uint16_t Nuz[Rows];
    uint16_t PRaw[LoadCols];
    uint16_t P[LoadCols];
    const uint8_t DrAxis[DrCols];
    uint8_t PmaxCol[Rows];
    uint8_t DrmaxSeg[Rows];
    FullLoadPoint FullLoad[Rows];
    double DrmaxCoefCorTau[Rows];
    double DrmaxCoefCorUoz[Rows];

    bool UseO2Maps;

    // Where the bytes of Data came from. Loaded is set by a load from a file or by a read of the
    // unit; Complete only when every byte of 0x0000..0x7FFF came from there. A new or cleared
    // image is neither: its zeros must never be programmed into a unit.
    bool Loaded = false;
    bool Complete = false;

    // A scratch image of Size bytes: Data and LoadedCopy hold a copy of them, decoded with the
    // map set asked for. It stands for no file and no unit, so it is neither Loaded nor Complete
    // and can never pass for a whole image to program. Comparisons and references use it.
    static std::unique_ptr<FirmwareImage> FromBytes(const uint8_t* bytes, bool useO2Maps = false);

    // The working copy and the copy as last loaded from a file, Size bytes each, read-only:
    // files, the protocol and comparisons take them whole.
    const uint8_t* Bytes() const { return Data.get(); }
    const uint8_t* LoadedBytes() const { return LoadedCopy.get(); }

    // Zeros in Data and LoadedCopy, decoded; neither Loaded nor Complete.
    void Clear();
    // Recomputes every table from Data. Needed only after UseO2Maps changed: every write and
    // load decodes by itself.
    void Decode();
    // How many times Decode ran: lets tests and benchmarks see that a batch decodes once.
    std::size_t DecodeCount() const { return decodeCount_; }
    void DecodeIdent();
    void EncodeIdent();
    void UpdateChecksum();
    bool IsModified() const;

    // Stored and computed calibration checksum (the word at 0x5FF0 and the sum over the area).
    uint16_t StoredChecksum() const;
    uint16_t ComputeChecksum() const;

    // File operations. They raise std::runtime_error with a short English text on failure;
    // a load decodes. Saves are atomic: a failed save leaves the previous file untouched,
    // and its message is "Can't write file." followed by a line with the file and the reason.
    HexLoadResult LoadHex(const std::string& fileName);
    void LoadBin(const std::string& fileName);
    void SaveBin(const std::string& fileName) const;
    void SaveHex(const std::string& fileName) const;
    // Writes the binary and the HEX file of one save: both are replaced, or neither is.
    void SaveBinAndHex(const std::string& binName, const std::string& hexName) const;
    // Raises what a save to fileName would raise before writing anything: for a missing folder,
    // a folder, a device or a file the user may not write. Nothing is left behind.
    static void CheckSaveTarget(const std::string& fileName);
    // After a save: the files now hold the working copy, so it counts as unchanged.
    void MarkSaved();
    // Takes over what another image loaded: its Data and LoadedCopy, Loaded and Complete, decoded
    // with this image's map set. A load, not an edit.
    void AdoptLoad(const FirmwareImage& loaded);

    // Raw access. Every edit of the program goes through the three writes, so one place sees
    // every change; each write is one change set, decoded before listeners hear of it (at the end
    // of the batch inside a WriteBatch). Words are little-endian. Addresses must be below Size (a
    // word's address below Size - 1).
    uint8_t ReadByte(uint16_t addr) const { return Data[addr]; }
    uint16_t ReadWord(uint16_t addr) const {
        return static_cast<uint16_t>(Data[addr] | (Data[addr + 1] << 8));
    }
    void WriteByte(uint16_t addr, uint8_t value);
    void WriteWord(uint16_t addr, uint16_t value);
    // Writes all Size bytes at once, e.g. the memory read from the unit. An edit: LoadedCopy,
    // Loaded and Complete stay as they are.
    void ReplaceData(const uint8_t* bytes);

    // Writes and loads made while a batch lives are decoded once, when the outermost batch of the
    // image ends, instead of once each: an operation on a whole selection pays for one decode.
    // Listeners still hear every change set as it is made, but until the batch ends the decoded
    // tables lag behind Data, so nothing inside a batch may read them after its own writes.
    class WriteBatch {
    public:
        explicit WriteBatch(FirmwareImage& image) : image_(image) { ++image_.batchDepth_; }
        ~WriteBatch();
        WriteBatch(const WriteBatch&) = delete;
        WriteBatch& operator=(const WriteBatch&) = delete;

    private:
        FirmwareImage& image_;
    };

    // Listeners are not owned; one must be removed before it is destroyed.
    void AddListener(ImageListener* listener);
    void RemoveListener(ImageListener* listener);

    // The 14 identification fields in table order: member, address, raw length N.
    struct IdentField {
        const char* name; // member name, e.g. "EcuType"
        char* text;
        uint16_t address;
        int length;
    };
    IdentField Ident(int index);
    // Read-only access to the same fields: member name, and text in code page 1251.
    static const char* IdentName(int index);
    const char* IdentText(int index) const;

private:
    // Puts bytes into Data and loadedCopy into LoadedCopy (zeros for nullptr) as a load does,
    // decodes and then tells the listeners.
    void ResetData(const uint8_t* bytes, const uint8_t* loadedCopy, bool loaded, bool complete);
    // Data changed: decode now, or when the batch ends.
    void DataWritten();
    void Announce(const ChangeSet& changes);

    std::unique_ptr<uint8_t[]> Data;
    std::unique_ptr<uint8_t[]> LoadedCopy;
    std::vector<ImageListener*> listeners_;
    int batchDepth_ = 0;
    bool decodePending_ = false;
    std::size_t decodeCount_ = 0;
};
