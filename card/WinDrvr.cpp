// The driver device interface: the Windows device behind the seam, the control
// codes, the record codec and the version check.
#include "WinDrvr.h"

#include <utility>

namespace {

const char* const DeviceName = "\\\\.\\WINDRVR6";
constexpr uint32_t ControlDeviceType = 0x9538;
constexpr uint32_t ControlDeviceShift = 16;
constexpr uint32_t ControlFunctionShift = 2;
constexpr uint32_t ControlMethodNeither = 3;
constexpr uint32_t FieldSize = 4;
constexpr unsigned BitsPerByte = 8;

// The real driver: the device opened with CreateFileA, driven with DeviceIoControl.
class TWindowsDriverDevice : public TDriverDevice {
public:
    HANDLE Open() override
    {
        return CreateFileA(DeviceName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    }

    void Close(HANDLE device) override { CloseHandle(device); }

    uint32_t Call(HANDLE device, uint32_t code, void* record, uint32_t length) override
    {
        DWORD output = 0;
        DeviceIoControl(device, code, record, length, &output, sizeof output, &returnedBytes_, nullptr);
        return output;
    }

private:
    DWORD returnedBytes_ = 0;
};

TWindowsDriverDevice windowsDevice;
TDriverDevice* deviceInUse = &windowsDevice;

} // namespace

TDriverDevice& DriverDevice() { return *deviceInUse; }

void UseDriverDevice(TDriverDevice* device) { deviceInUse = device ? device : &windowsDevice; }

uint32_t MakeControlCode(uint32_t function)
{
    return (ControlDeviceType << ControlDeviceShift) | (function << ControlFunctionShift) | ControlMethodNeither;
}

namespace DriverCode {
const uint32_t Version = MakeControlCode(DriverFunction::Version);
const uint32_t CardScan = MakeControlCode(DriverFunction::CardScan);
const uint32_t CardInfo = MakeControlCode(DriverFunction::CardInfo);
const uint32_t CardLock = MakeControlCode(DriverFunction::CardLock);
const uint32_t CardRelease = MakeControlCode(DriverFunction::CardRelease);
const uint32_t Transfer = MakeControlCode(DriverFunction::Transfer);
const uint32_t ConfigAccess = MakeControlCode(DriverFunction::ConfigAccess);
}

uint32_t PointerField(const void* address)
{
    const uintptr_t value = reinterpret_cast<uintptr_t>(address);
    if (value > UINT32_MAX)
        throw ECardError("Address does not fit in a 32-bit driver record field");
    return static_cast<uint32_t>(value);
}

void* FieldPointer(uint32_t field) { return reinterpret_cast<void*>(static_cast<uintptr_t>(field)); }

TRecordView::TRecordView(void* bytes, uint32_t length) : bytes_(static_cast<uint8_t*>(bytes)), length_(length) {}

void TRecordView::Check(uint32_t offset, uint32_t size) const
{
    if (offset > length_ || size > length_ - offset)
        throw ECardError("Driver record field outside its record");
}

uint32_t TRecordView::Get(uint32_t offset) const
{
    Check(offset, FieldSize);
    uint32_t value = 0;
    for (uint32_t i = 0; i < FieldSize; ++i)
        value |= static_cast<uint32_t>(bytes_[offset + i]) << (BitsPerByte * i);
    return value;
}

void TRecordView::Set(uint32_t offset, uint32_t value)
{
    Check(offset, FieldSize);
    for (uint32_t i = 0; i < FieldSize; ++i)
        bytes_[offset + i] = static_cast<uint8_t>(value >> (BitsPerByte * i));
}

void TRecordView::CopyFrom(const TRecordView& source, uint32_t sourceOffset, uint32_t offset, uint32_t length)
{
    source.Check(sourceOffset, length);
    Check(offset, length);
    for (uint32_t i = 0; i < length; ++i)
        bytes_[offset + i] = source.bytes_[sourceOffset + i];
}

TDriverHandle::TDriverHandle(TDriverHandle&& other) noexcept
    : device_(other.device_), handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE))
{
}

TDriverHandle& TDriverHandle::operator=(TDriverHandle&& other) noexcept
{
    if (this != &other) {
        Close();
        device_ = other.device_;
        handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    }
    return *this;
}

void TDriverHandle::Close()
{
    if (Valid())
        device_->Close(std::exchange(handle_, INVALID_HANDLE_VALUE));
}

uint32_t TDriverHandle::Call(uint32_t code, TRecordView& record) const
{
    return device_->Call(handle_, code, record.Bytes(), record.Length());
}

TDriverHandle OpenDriver()
{
    TDriverDevice& device = DriverDevice();
    return TDriverHandle(&device, device.Open());
}

uint32_t QueryDriverVersion(const TDriverHandle& driver)
{
    TDriverRecord record(VersionRecord::Length);
    driver.Call(DriverCode::Version, record);
    return record.Get(VersionRecord::Version);
}

TDriverHandle CheckDriver()
{
    TDriverHandle driver = OpenDriver();
    if (!driver.Valid())
        throw ECardError("Cannot open WinDriver device");
    if (QueryDriverVersion(driver) < MinimumDriverVersion)
        throw ECardError("Error - incorrect WinDriver version");
    return driver;
}
