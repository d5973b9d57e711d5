// The virtual driver's calls, and the card behind them: register writes drive
// the pins, the pins the I2C decoder, the decoder the synthesizer and the memory.
#include "VirtualCard.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr uintptr_t FirstHandle = 0x5D00;
constexpr uint32_t OldVersion = 699;
constexpr uint32_t DataHighWord = 4;
constexpr uint32_t LockedCardHandle = 0x0C0FFEE1;
constexpr uint32_t ScanIds = 12;
constexpr uint32_t IdSize = 8;
constexpr uint32_t IdShift = 16;
constexpr uint32_t FirstBarOffset = 0x10;
constexpr uint32_t BarSize = 4;
constexpr uint32_t RomBarOffset = 0x30;
constexpr uint32_t RomSpace = 6;
constexpr uint32_t ConfigDword = 4;
constexpr uint32_t WriteOneByte = 1;

std::string Hex2(uint8_t value)
{
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

std::string Tenths(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

uint32_t ResourceOffset(uint32_t list, uint32_t index)
{
    return list + ResourceList::First + ResourceList::Size * index;
}

// The fault a program run takes by name: after the first whole image (83 bytes).
constexpr int BreakingWriteAfterImage = 83;

} // namespace

const char* const RefusedTransferText = "Virtual card: the card did not answer a transfer";

TVirtualFault VirtualFaultFromName(const std::string& name)
{
    if (name == "no-driver")
        return TVirtualFault::NoDriver;
    if (name == "old-driver")
        return TVirtualFault::OldDriver;
    if (name == "no-card")
        return TVirtualFault::NoCard;
    if (name == "lock-refused")
        return TVirtualFault::LockRefused;
    if (name == "no-address-space")
        return TVirtualFault::NoAddressSpace;
    if (name == "rds-write-breaks")
        return TVirtualFault::RdsWriteBreaks;
    throw ECardError("Unknown virtual card fault \"" + name +
                     "\" (no-driver, old-driver, no-card, lock-refused, no-address-space, rds-write-breaks)");
}

TVirtualCardConfig IoCardConfig()
{
    TVirtualCardConfig config;
    config.Resources = {{Resource::Io, VirtualCardLayout::IoPort, VirtualCardLayout::IoLength}};
    std::fill(std::begin(config.Bars), std::end(config.Bars), 0);
    config.Bars[0] = VirtualCardLayout::IoBar;
    return config;
}

TVirtualCardConfig MemoryCardConfig()
{
    TVirtualCardConfig config = IoCardConfig();
    config.Resources = {{Resource::Memory, VirtualCardLayout::MemoryAddress, VirtualCardLayout::MemoryLength}};
    config.Bars[0] = VirtualCardLayout::MemoryAddress;
    return config;
}

void ApplyVirtualFault(TVirtualCardConfig& config, TVirtualFault fault)
{
    switch (fault) {
    case TVirtualFault::None:
        break;
    case TVirtualFault::NoDriver:
        config.DriverPresent = false;
        break;
    case TVirtualFault::OldDriver:
        config.Version = OldVersion;
        break;
    case TVirtualFault::NoCard:
        config.CardCount = 0;
        break;
    case TVirtualFault::LockRefused:
        config.LockRefused = true;
        break;
    case TVirtualFault::NoAddressSpace:
        config.Bars[0] = VirtualCardLayout::UnmatchedIoBar;
        break;
    case TVirtualFault::RdsWriteBreaks:
        config.RdsWritesBeforeFault = BreakingWriteAfterImage;
        config.RefusedTransfers = 1;
        break;
    }
}

TVirtualCard::TVirtualCard(const TVirtualCardConfig& config, const std::string& tracePath)
    : config_(config), trace_(tracePath), nextHandle_(FirstHandle)
{
    uint32_t mappedLength = 0;
    for (const TVirtualResource& resource : config_.Resources)
        if (resource.Type == Resource::Memory)
            mappedLength = std::max(mappedLength, resource.Length);
    mapped_.assign(mappedLength, 0);
    BreakRdsWriteAfter(config_.RdsWritesBeforeFault, config_.RefusedTransfers);
}

void TVirtualCard::BreakRdsWriteAfter(int storedWrites, uint32_t refusedTransfers)
{
    config_.RefusedTransfers = refusedTransfers;
    writesUntilFault_ = storedWrites;
    transfersUntilFault_ = 0;
    refusalsLeft_ = 0;
    if (writesUntilFault_ == 0)
        CountRdsWrite();
}

void TVirtualCard::CountRdsWrite()
{
    if (writesUntilFault_ < 0)
        return;
    if (writesUntilFault_ > 0)
        --writesUntilFault_;
    if (writesUntilFault_ == 0) {
        writesUntilFault_ = -1;
        transfersUntilFault_ = FaultTransfersIntoFrame;
    }
}

bool TVirtualCard::RefuseTransfer()
{
    if (refusalsLeft_ == 0 && transfersUntilFault_ > 0 && --transfersUntilFault_ == 0)
        refusalsLeft_ = config_.RefusedTransfers;
    if (refusalsLeft_ == 0)
        return false;
    --refusalsLeft_;
    ++refused_;
    return true;
}

HANDLE TVirtualCard::Open()
{
    if (!config_.DriverPresent || (config_.OpensAllowed >= 0 && opens_ >= config_.OpensAllowed))
        return INVALID_HANDLE_VALUE;
    ++opens_;
    HANDLE handle = reinterpret_cast<HANDLE>(nextHandle_++);
    handles_.insert(handle);
    return handle;
}

void TVirtualCard::Close(HANDLE device)
{
    if (handles_.erase(device) == 0)
        throw ECardError("Virtual card: closing a handle that is not open");
}

uint32_t TVirtualCard::Call(HANDLE device, uint32_t code, void* bytes, uint32_t length)
{
    const double now = trace_.Now();
    if (handles_.count(device) == 0)
        throw ECardError("Virtual card: driver call on a handle that is not open");
    if (keepCalls_)
        calls_.push_back(code);

    TRecordView record(bytes, length);
    if (code == DriverCode::Transfer && length == TransferRecord::Length)
        Transfer(now, record);
    else if (code == DriverCode::Version && length == VersionRecord::Length)
        Version(record);
    else if (code == DriverCode::CardScan && length == ScanRecord::Length)
        Scan(record);
    else if (code == DriverCode::CardInfo && length == CardInfoRecord::Length)
        Info(record);
    else if (code == DriverCode::CardLock && length == LockRecord::Length)
        Lock(record);
    else if (code == DriverCode::CardRelease && length == LockRecord::Length)
        Release(record);
    else if (code == DriverCode::ConfigAccess && length == ConfigRecord::Length)
        Configuration(record);
    else
        throw ECardError("Virtual card: unknown control code or record length");
    return 0;
}

void TVirtualCard::Version(TRecordView& record)
{
    const auto& turns = config_.VersionsInTurn;
    uint32_t version = config_.Version;
    if (!turns.empty())
        version = turns[std::min(versionQueries_, turns.size() - 1)];
    ++versionQueries_;
    record.Set(VersionRecord::Version, version);
}

void TVirtualCard::Scan(TRecordView& record)
{
    const bool found = record.Get(ScanRecord::VendorId) == config_.VendorId &&
                       record.Get(ScanRecord::DeviceId) == config_.DeviceId &&
                       (config_.ScansWithCards < 0 || scans_ < config_.ScansWithCards);
    ++scans_;
    const uint32_t cards = found ? std::min(config_.CardCount, ScanRecord::Capacity) : 0;
    record.Set(ScanRecord::CardCount, found && config_.ReportedCardCount ? config_.ReportedCardCount : cards);
    for (uint32_t i = 0; i < cards; ++i) {
        record.Set(ScanIds + IdSize * i, config_.VendorId | (config_.DeviceId << IdShift));
        const uint32_t location = ScanRecord::Locations + ScanRecord::LocationSize * i;
        record.Set(location + Location::Bus, VirtualCardLayout::FirstBus);
        record.Set(location + Location::Slot, VirtualCardLayout::FirstSlot + i);
        record.Set(location + Location::Function, 0);
    }
}

void TVirtualCard::Info(TRecordView& record)
{
    infoSlot_ = record.Get(Location::Slot);
    const bool known = record.Get(Location::Bus) == VirtualCardLayout::FirstBus &&
                       infoSlot_ >= VirtualCardLayout::FirstSlot &&
                       infoSlot_ < VirtualCardLayout::FirstSlot + config_.CardCount;
    if (!known)
        return;
    const uint32_t list = CardInfoRecord::Resources;
    const uint32_t count = std::min<uint32_t>(static_cast<uint32_t>(config_.Resources.size()), ResourceList::Capacity);
    record.Set(list + ResourceList::Count, config_.ReportedResourceCount ? config_.ReportedResourceCount : count);
    for (uint32_t k = 0; k < count; ++k) {
        const TVirtualResource& resource = config_.Resources[k];
        const uint32_t offset = ResourceOffset(list, k);
        record.Set(offset + Resource::Type, resource.Type);
        record.Set(offset + Resource::Address, resource.Address);
        record.Set(offset + Resource::RangeLength, resource.Length);
    }
}

void TVirtualCard::Lock(TRecordView& record)
{
    lockedTypes_.clear();
    const uint32_t count = std::min(record.Get(LockRecord::Resources + ResourceList::Count), ResourceList::Capacity);
    for (uint32_t k = 0; k < count; ++k)
        lockedTypes_.push_back(record.Get(ResourceOffset(LockRecord::Resources, k) + Resource::Type));
    if (config_.LockRefused || record.Get(LockRecord::CheckOnly) != 0) {
        record.Set(LockRecord::CardHandle, 0);
        return;
    }
    for (uint32_t k = 0; k < count; ++k) {
        const uint32_t offset = ResourceOffset(LockRecord::Resources, k);
        if (record.Get(offset + Resource::Type) == Resource::Memory)
            record.Set(offset + Resource::MappedAddress, PointerField(mapped_.data()));
    }
    record.Set(LockRecord::CardHandle, LockedCardHandle);
    locked_ = true;
}

void TVirtualCard::Release(TRecordView& record)
{
    releasedHandle_ = record.Get(LockRecord::CardHandle);
    if (releasedHandle_ == LockedCardHandle)
        locked_ = false;
}

void TVirtualCard::Transfer(double now, TRecordView& record)
{
    if (record.Get(TransferRecord::Command) != TransferRecord::WriteBytesToPort ||
        record.Get(TransferRecord::ByteCount) != WriteOneByte ||
        record.Get(TransferRecord::Data + DataHighWord) != 0)
        throw ECardError("Virtual card: a transfer other than one byte to a port");
    // Refused before it reaches the bridge: the pins keep their levels.
    if (RefuseTransfer())
        throw ECardError(RefusedTransferText);
    const uint32_t port = record.Get(TransferRecord::Port);
    const uint8_t value = *static_cast<const uint8_t*>(FieldPointer(record.Get(TransferRecord::Data)));
    for (const TVirtualResource& resource : config_.Resources) {
        if (resource.Type == Resource::Io && port >= resource.Address && port - resource.Address < resource.Length) {
            RegisterWrite(now, port - resource.Address, value);
            return;
        }
    }
}

void TVirtualCard::Configuration(TRecordView& record)
{
    const uint32_t offset = record.Get(ConfigRecord::Offset);
    configOffsets_.push_back(offset);
    if (record.Get(ConfigRecord::Direction) != ConfigRecord::Read || record.Get(ConfigRecord::ByteCount) != ConfigDword)
        return;
    uint32_t value = 0;
    if (offset == RomBarOffset)
        value = config_.Bars[RomSpace];
    else if (offset >= FirstBarOffset && offset < FirstBarOffset + BarSize * RomSpace && offset % BarSize == 0)
        value = config_.Bars[(offset - FirstBarOffset) / BarSize];
    TRecordView buffer(FieldPointer(record.Get(ConfigRecord::Buffer)), ConfigDword);
    buffer.Set(0, value);
}

void TVirtualCard::Event(double now, const std::string& text)
{
    if (trace_.Active())
        trace_.Write(now, text);
}

void TVirtualCard::RegisterWrite(double now, uint32_t reg, uint8_t value)
{
    if (trace_.Active())
        trace_.Write(now, "REG " + std::to_string(reg) + ' ' + std::to_string(value));
    pins_.Write(reg, value);
    if (pins_.Carrier() != carrier_) {
        carrier_ = pins_.Carrier();
        Event(now, carrier_ ? "CARRIER on" : "CARRIER off");
    }
    if (pins_.StereoDriven() && pins_.Stereo() != stereo_) {
        stereo_ = pins_.Stereo();
        Event(now, stereo_ ? "STEREO on" : "STEREO off");
    }
    decoder_.Lines(now, pins_.Sda(), pins_.Scl());
}

void TVirtualCard::Frame(const TI2cFrame& frame)
{
    const double now = frame.StopMicroseconds;
    if (trace_.Active()) {
        std::string line = "I2C";
        for (uint8_t byte : frame.Bytes)
            line += ' ' + Hex2(byte);
        trace_.Write(now, line);
    }
    if (frame.Bytes[0] == TVirtualSynthesizer::Address) {
        if (synthesizer_.Receive(frame))
            Event(now, "SYNTH " + std::to_string(synthesizer_.Kilohertz()) + ' ' +
                           std::to_string(synthesizer_.Power()));
        return;
    }
    TRdsWrite write;
    if (frame.Bytes[0] == TVirtualRdsMemory::Address && memory_.Receive(frame, write)) {
        if (!write.Stored)
            ++lost_;
        else
            CountRdsWrite();
        Event(now, std::string(write.Stored ? "RDS " : "LOST ") + std::to_string(write.Address) + ' ' +
                       std::to_string(write.Value));
    }
}

void TVirtualCard::Timing(double microseconds, const char* phase, double measured, double minimum)
{
    Event(microseconds, std::string("TIMING ") + phase + ' ' + Tenths(measured) + ' ' + Tenths(minimum));
}
