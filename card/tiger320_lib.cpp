// The TIGER320 bridge library: card scan, card information, lock and release,
// address-space matching and single-byte register writes.
#include "tiger320_lib.h"

#include <algorithm>

std::string BridgeErrorText;

namespace {

constexpr uint32_t FirstBarOffset = 0x10;
constexpr uint32_t BarSize = 4;
constexpr uint32_t RomBarOffset = 0x30;
constexpr uint32_t RomSpace = 6;
constexpr uint32_t IoBarFlag = 1;
constexpr uint32_t IoBarFlagBits = 3;       // the two lowest bits of an I/O register
constexpr uint32_t MemoryBarFlagBits = 15;  // the four lowest bits of a memory register
constexpr uint32_t PortAddressMask = 0xFFFF;
constexpr uint32_t ConfigDwordSize = 4;
constexpr uint32_t OneByte = 1;
constexpr uint32_t AutoIncrementOn = 1;
constexpr uint32_t NoOptions = 0;
constexpr uint32_t LockThisProgram = 0;

uint32_t ResourceOffset(uint32_t list, uint32_t index)
{
    return list + ResourceList::First + ResourceList::Size * index;
}

// The driver's count of a list, never more than the record can hold.
uint32_t ResourceCount(const TRecordView& record, uint32_t list)
{
    return std::min(record.Get(list + ResourceList::Count), ResourceList::Capacity);
}

uint32_t CardsFound(const TRecordView& scan)
{
    return std::min(scan.Get(ScanRecord::CardCount), ScanRecord::Capacity);
}

void ScanCards(const TDriverHandle& driver, uint32_t vendorId, uint32_t deviceId, TRecordView& scan)
{
    scan.Set(ScanRecord::VendorId, vendorId);
    scan.Set(ScanRecord::DeviceId, deviceId);
    driver.Call(DriverCode::CardScan, scan);
}

uint32_t BarOffset(uint32_t space) { return space == RomSpace ? RomBarOffset : FirstBarOffset + BarSize * space; }

// Fails an open: the record, its lock and its driver handle go with it.
bool FailOpen(const char* message)
{
    BridgeErrorText = message;
    return false;
}

} // namespace

TBridgeCard::~TBridgeCard()
{
    if (Lock.Get(LockRecord::CardHandle) != 0)
        Driver.Call(DriverCode::CardRelease, Lock);
}

uint32_t CountBridgeCards(uint32_t vendorId, uint32_t deviceId)
{
    BridgeErrorText.clear();
    TDriverHandle driver = OpenDriver();
    if (!driver.Valid()) {
        BridgeErrorText = "Failed opening WinDriver device";
        return 0;
    }
    if (QueryDriverVersion(driver) < MinimumDriverVersion) {
        BridgeErrorText = "Incorrect WinDriver version";
        return 0;
    }
    TDriverRecord scan(ScanRecord::Length);
    ScanCards(driver, vendorId, deviceId, scan);
    driver.Close();
    const uint32_t found = CardsFound(scan);
    if (found == 0)
        BridgeErrorText = "no cards found";
    return found;
}

bool OpenBridgeCard(uint32_t vendorId, uint32_t deviceId, uint32_t cardNumber, TBridgeCardPtr& card)
{
    card.reset();
    auto opening = std::make_unique<TBridgeCard>();
    BridgeErrorText.clear();

    opening->Driver = OpenDriver();
    if (!opening->Driver.Valid())
        return FailOpen("Failed opening WinDriver device");
    if (QueryDriverVersion(opening->Driver) < MinimumDriverVersion)
        return FailOpen("Incorrect WinDriver version");

    TDriverRecord scan(ScanRecord::Length);
    ScanCards(opening->Driver, vendorId, deviceId, scan);
    const uint32_t found = CardsFound(scan);
    if (found == 0)
        return FailOpen("Could not find PCI card");
    if (cardNumber >= found)
        return FailOpen("Card out of range of available cards");

    const uint32_t location = ScanRecord::Locations + ScanRecord::LocationSize * cardNumber;
    TDriverRecord info(CardInfoRecord::Length);
    info.CopyFrom(scan, location, Location::Bus, ScanRecord::LocationSize);
    opening->Driver.Call(DriverCode::CardInfo, info);
    opening->Bus = info.Get(Location::Bus);
    opening->Slot = info.Get(Location::Slot);
    opening->Function = info.Get(Location::Function);
    opening->Lock.CopyFrom(info, CardInfoRecord::Resources, LockRecord::Resources, ResourceList::Length);

    // The card is used without interrupts: the driver must not take them.
    const uint32_t resources = ResourceCount(opening->Lock, LockRecord::Resources);
    for (uint32_t k = 0; k < resources; ++k) {
        const uint32_t type = ResourceOffset(LockRecord::Resources, k) + Resource::Type;
        if (opening->Lock.Get(type) == Resource::Interrupt)
            opening->Lock.Set(type, Resource::None);
    }

    opening->Lock.Set(LockRecord::CheckOnly, LockThisProgram);
    opening->Driver.Call(DriverCode::CardLock, opening->Lock);
    if (opening->Lock.Get(LockRecord::CardHandle) == 0)
        return FailOpen("Failed locking device");

    if (!FindAddressSpaces(*opening))
        return FailOpen("Card does not have all items expected for TIGER320");

    card = std::move(opening);
    return true;
}

void CloseBridgeCard(TBridgeCardPtr& card) { card.reset(); }

bool FindAddressSpaces(TBridgeCard& card)
{
    for (TAddressSpace& space : card.Spaces)
        space = TAddressSpace();

    const uint32_t resources = ResourceCount(card.Lock, LockRecord::Resources);
    for (uint32_t k = 0; k < resources; ++k) {
        const uint32_t resource = ResourceOffset(LockRecord::Resources, k);
        const uint32_t type = card.Lock.Get(resource + Resource::Type);
        if (type != Resource::Memory && type != Resource::Io)
            continue;
        const bool isMemory = type == Resource::Memory;
        const uint32_t address = isMemory ? card.Lock.Get(resource + Resource::Address)
                                          : card.Lock.Get(resource + Resource::Address) & PortAddressMask;

        for (uint32_t n = 0; n < AddressSpaceCount; ++n) {
            if (card.Spaces[n].Active)
                continue;
            const uint32_t bar = ReadConfigDword(card, BarOffset(n));
            const bool ioBar = (bar & IoBarFlag) != 0;
            if (ioBar == isMemory)
                continue;
            const uint32_t base = ioBar ? bar & ~IoBarFlagBits : bar & ~MemoryBarFlagBits;
            if (base == address) {
                card.Spaces[n] = TAddressSpace{k, isMemory, true};
                break;
            }
        }
    }
    return std::any_of(std::begin(card.Spaces), std::end(card.Spaces),
                       [](const TAddressSpace& space) { return space.Active; });
}

bool IsSpaceActive(const TBridgeCard& card, uint32_t space)
{
    return space < AddressSpaceCount && card.Spaces[space].Active;
}

uint32_t ReadConfigDword(const TBridgeCard& card, uint32_t offset)
{
    uint32_t value = 0;
    TDriverRecord record(ConfigRecord::Length);
    record.Set(Location::Bus, card.Bus);
    record.Set(Location::Slot, card.Slot);
    record.Set(Location::Function, card.Function);
    record.Set(ConfigRecord::Buffer, PointerField(&value));
    record.Set(ConfigRecord::Offset, offset);
    record.Set(ConfigRecord::ByteCount, ConfigDwordSize);
    record.Set(ConfigRecord::Direction, ConfigRecord::Read);
    card.Driver.Call(DriverCode::ConfigAccess, record);
    return value;
}

void WriteBridgeByte(const TBridgeCard& card, uint32_t space, uint32_t offset, uint8_t value)
{
    if (!IsSpaceActive(card, space))
        return;
    const uint32_t resource = ResourceOffset(LockRecord::Resources, card.Spaces[space].ResourceIndex);
    if (card.Spaces[space].IsMemory) {
        auto* mapped = static_cast<volatile uint8_t*>(FieldPointer(card.Lock.Get(resource + Resource::MappedAddress)));
        mapped[offset] = value;
        return;
    }
    // On the stack: this is the bus master's innermost call.
    uint8_t bytes[TransferRecord::Length] = {};
    TRecordView record(bytes, TransferRecord::Length);
    record.Set(TransferRecord::Port, card.Lock.Get(resource + Resource::Address) + offset);
    record.Set(TransferRecord::Command, TransferRecord::WriteBytesToPort);
    record.Set(TransferRecord::ByteCount, OneByte);
    record.Set(TransferRecord::AutoIncrement, AutoIncrementOn);
    record.Set(TransferRecord::Options, NoOptions);
    record.Set(TransferRecord::Data, PointerField(&value));
    card.Driver.Call(DriverCode::Transfer, record);
}
