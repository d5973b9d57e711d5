// The driver device interface: the seam to the PCI access driver, its control
// codes, and its records as little-endian byte buffers at named offsets.
#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

// A failure of the card layer; its text is what the user is shown.
class ECardError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TDriverDevice {                 // what the card layer needs of the PCI access driver
public:
    virtual ~TDriverDevice() = default;
    virtual HANDLE Open() = 0;        // INVALID_HANDLE_VALUE when the driver is absent
    virtual void Close(HANDLE device) = 0;
    virtual uint32_t Call(HANDLE device, uint32_t code, void* record, uint32_t length) = 0;
};
TDriverDevice& DriverDevice();                    // the one in use
void UseDriverDevice(TDriverDevice* device);      // nullptr: back to the Windows device

uint32_t MakeControlCode(uint32_t function);

namespace DriverFunction {
constexpr uint32_t Version = 0x910;
constexpr uint32_t CardScan = 0x90E;
constexpr uint32_t CardInfo = 0x90F;
constexpr uint32_t CardLock = 0x99C;
constexpr uint32_t CardRelease = 0x92B;
constexpr uint32_t Transfer = 0x903;
constexpr uint32_t ConfigAccess = 0x91A;
}

// The control codes, computed once when the program starts.
namespace DriverCode {
extern const uint32_t Version;
extern const uint32_t CardScan;
extern const uint32_t CardInfo;
extern const uint32_t CardLock;
extern const uint32_t CardRelease;
extern const uint32_t Transfer;
extern const uint32_t ConfigAccess;
}

constexpr uint32_t MinimumDriverVersion = 700;

namespace VersionRecord {
constexpr uint32_t Length = 132;
constexpr uint32_t Version = 0;
}

namespace ScanRecord {
constexpr uint32_t Length = 2012;
constexpr uint32_t VendorId = 0;
constexpr uint32_t DeviceId = 4;
constexpr uint32_t CardCount = 8;
constexpr uint32_t Locations = 812;
constexpr uint32_t LocationSize = 12;
constexpr uint32_t Capacity = 100;
static_assert(Locations + LocationSize * Capacity == Length, "card scan record layout");
}

// Bus, slot and function, as they follow each other in the scan, information
// and configuration records.
namespace Location {
constexpr uint32_t Bus = 0;
constexpr uint32_t Slot = 4;
constexpr uint32_t Function = 8;
}

namespace ResourceList {
constexpr uint32_t Length = 804;
constexpr uint32_t Count = 0;
constexpr uint32_t First = 4;
constexpr uint32_t Size = 40;
constexpr uint32_t Capacity = 20;
static_assert(First + Size * Capacity == Length, "resource list layout");
}

namespace Resource {
constexpr uint32_t Type = 0;
constexpr uint32_t Address = 16;       // memory: physical address; I/O: port address
constexpr uint32_t RangeLength = 20;
constexpr uint32_t MappedAddress = 28; // memory: where the program can store directly
constexpr uint32_t None = 0;
constexpr uint32_t Interrupt = 1;
constexpr uint32_t Memory = 2;
constexpr uint32_t Io = 3;
}

namespace CardInfoRecord {
constexpr uint32_t Length = 816;
constexpr uint32_t Resources = 12;
static_assert(Resources + ResourceList::Length == Length, "card information record layout");
}

namespace LockRecord {
constexpr uint32_t Length = 948;
constexpr uint32_t Resources = 0;
constexpr uint32_t CheckOnly = 804;
constexpr uint32_t CardHandle = 808;
static_assert(Resources + ResourceList::Length == CheckOnly, "lock record layout");
}

namespace TransferRecord {
constexpr uint32_t Length = 28;
constexpr uint32_t Port = 0;
constexpr uint32_t Command = 4;
constexpr uint32_t ByteCount = 8;
constexpr uint32_t AutoIncrement = 12;
constexpr uint32_t Options = 16;
constexpr uint32_t Data = 20;          // 8 bytes: the pointer in the low 4, the rest 0
constexpr uint32_t DataSize = 8;
constexpr uint32_t WriteBytesToPort = 23;
static_assert(Data + DataSize == Length, "transfer record layout");
}

namespace ConfigRecord {
constexpr uint32_t Length = 32;
constexpr uint32_t Buffer = 12;
constexpr uint32_t Offset = 16;
constexpr uint32_t ByteCount = 20;
constexpr uint32_t Direction = 24;
constexpr uint32_t Result = 28;
constexpr uint32_t Read = 1;
static_assert(Result + 4 == Length, "configuration access record layout");
}

// The low 32 bits of an address for a record's pointer field; an address
// above 4 GB cannot be passed and is refused.
uint32_t PointerField(const void* address);
void* FieldPointer(uint32_t field);

// A view of a record's bytes with bounds-checked little-endian fields.
class TRecordView {
public:
    TRecordView(void* bytes, uint32_t length);
    uint32_t Get(uint32_t offset) const;
    void Set(uint32_t offset, uint32_t value);
    void CopyFrom(const TRecordView& source, uint32_t sourceOffset, uint32_t offset, uint32_t length);
    uint8_t* Bytes() const { return bytes_; }
    uint32_t Length() const { return length_; }

private:
    void Check(uint32_t offset, uint32_t size) const;
    uint8_t* bytes_;
    uint32_t length_;
};

// The bytes of a record, set up before the view on them.
struct TRecordBytes {
    explicit TRecordBytes(uint32_t length) : bytes(length, 0) {}
    std::vector<uint8_t> bytes;
};

// A zero-filled record of a fixed length, owning its bytes.
class TDriverRecord : private TRecordBytes, public TRecordView {
public:
    explicit TDriverRecord(uint32_t length) : TRecordBytes(length), TRecordView(bytes.data(), length) {}
    TDriverRecord(const TDriverRecord&) = delete;
    TDriverRecord& operator=(const TDriverRecord&) = delete;
};

// An open driver device handle, closed (CloseDriver) when its owner goes.
class TDriverHandle {
public:
    TDriverHandle() = default;
    TDriverHandle(TDriverDevice* device, HANDLE handle) : device_(device), handle_(handle) {}
    ~TDriverHandle() { Close(); }
    TDriverHandle(TDriverHandle&& other) noexcept;
    TDriverHandle& operator=(TDriverHandle&& other) noexcept;
    TDriverHandle(const TDriverHandle&) = delete;
    TDriverHandle& operator=(const TDriverHandle&) = delete;

    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Close();
    uint32_t Call(uint32_t code, TRecordView& record) const;

private:
    TDriverDevice* device_ = nullptr;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

TDriverHandle OpenDriver();
uint32_t QueryDriverVersion(const TDriverHandle& driver);

// Opens the driver and checks its version; the caller closes the handle.
TDriverHandle CheckDriver();
