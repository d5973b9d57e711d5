// An in-process stand-in for the PCI access driver with one SONDEL card in the
// machine: the bridge's pins, the I2C bus, the synthesizer and the RDS memory.
#pragma once

#include "I2cDecoder.h"
#include "VirtualPins.h"
#include "VirtualRdsMemory.h"
#include "VirtualSynthesizer.h"
#include "VirtualTrace.h"
#include "WinDrvr.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

enum class TVirtualFault { None, NoDriver, OldDriver, NoCard, LockRefused, NoAddressSpace, RdsWriteBreaks };

// "no-driver", "old-driver", "no-card", "lock-refused", "no-address-space",
// "rds-write-breaks"; anything else is refused.
TVirtualFault VirtualFaultFromName(const std::string& name);

struct TVirtualResource {
    uint32_t Type;
    uint32_t Address;   // memory: physical address; I/O: port address
    uint32_t Length;
};

struct TVirtualCardConfig {
    bool DriverPresent = true;
    int OpensAllowed = -1;                  // opens that succeed; -1: every one
    uint32_t Version = 700;
    std::vector<uint32_t> VersionsInTurn;   // answers of successive version queries (the last repeats)
    uint32_t VendorId = 0xE159;
    uint32_t DeviceId = 0x0001;
    uint32_t CardCount = 1;
    int ScansWithCards = -1;                // scans that find the cards; -1: every one
    uint32_t ReportedCardCount = 0;         // a count above the record's capacity; 0: the real one
    std::vector<TVirtualResource> Resources;
    uint32_t ReportedResourceCount = 0;     // as above, for the resource list
    uint32_t Bars[7];                       // base address registers 0..5 and the expansion ROM's
    bool LockRefused = false;
    double RdsWriteCycleMicroseconds = TVirtualRdsMemory::WriteCycleMicroseconds;
    // A card that stops answering in the middle of an RDS memory write: once this many
    // RDS bytes are stored, a transfer inside the next frame is refused (ECardError),
    // and so is each transfer after it until RefusedTransfers were refused; -1: never.
    int RdsWritesBeforeFault = -1;
    uint32_t RefusedTransfers = 1;
};

// Where in a frame the card stops answering: past its start and into its address byte.
constexpr uint32_t FaultTransfersIntoFrame = 20;
// The message of a refused transfer.
extern const char* const RefusedTransferText;

namespace VirtualCardLayout {
constexpr uint32_t IoPort = 0xD000;
constexpr uint32_t IoLength = 0x100;
constexpr uint32_t IoBar = IoPort | 1;
constexpr uint32_t MemoryAddress = 0xFEB00000;
constexpr uint32_t MemoryLength = 0x1000;
constexpr uint32_t UnmatchedIoBar = 0xE001;
constexpr uint32_t FirstBus = 1;
constexpr uint32_t FirstSlot = 4;
}

TVirtualCardConfig IoCardConfig();       // one I/O range matching base address register 0
TVirtualCardConfig MemoryCardConfig();   // one memory range instead
void ApplyVirtualFault(TVirtualCardConfig& config, TVirtualFault fault);

class TVirtualCard : public TDriverDevice, private TI2cListener {
public:
    // An empty trace path writes no trace file.
    explicit TVirtualCard(const TVirtualCardConfig& config = IoCardConfig(), const std::string& tracePath = "");

    HANDLE Open() override;
    void Close(HANDLE device) override;
    uint32_t Call(HANDLE device, uint32_t code, void* record, uint32_t length) override;

    TVirtualTrace& Trace() { return trace_; }
    // As the configuration's RdsWritesBeforeFault and RefusedTransfers, counted from now.
    void BreakRdsWriteAfter(int storedWrites, uint32_t refusedTransfers = 1);
    // Transfers refused so far.
    uint32_t RefusedTransfers() const { return refused_; }
    // The control codes of the driver calls in order, kept only from KeepCalls(true) on (a
    // long run on the virtual card must measure the program, not this record).
    void KeepCalls(bool keep) { keepCalls_ = keep; }
    const std::vector<uint32_t>& Calls() const { return calls_; }
    size_t OpenHandles() const { return handles_.size(); }
    bool Locked() const { return locked_; }
    uint32_t ReleasedCardHandle() const { return releasedHandle_; }
    const std::vector<uint32_t>& LockedResourceTypes() const { return lockedTypes_; }
    const std::vector<uint32_t>& ConfigOffsets() const { return configOffsets_; }
    uint32_t InfoSlot() const { return infoSlot_; }
    const std::vector<uint8_t>& MappedRange() const { return mapped_; }

    const TVirtualPins& Pins() const { return pins_; }
    const TVirtualSynthesizer& Synthesizer() const { return synthesizer_; }
    const TVirtualRdsMemory& RdsMemory() const { return memory_; }
    uint32_t TimingViolations() const { return decoder_.Violations(); }
    uint32_t LostWrites() const { return lost_; }

private:
    void Frame(const TI2cFrame& frame) override;
    void Timing(double microseconds, const char* phase, double measured, double minimum) override;

    void Version(TRecordView& record);
    void Scan(TRecordView& record);
    void Info(TRecordView& record);
    void Lock(TRecordView& record);
    void Release(TRecordView& record);
    void Transfer(double now, TRecordView& record);
    // Counts a stored RDS byte towards the fault, arming it when it is due.
    void CountRdsWrite();
    // Whether the fault refuses this transfer.
    bool RefuseTransfer();
    void Configuration(TRecordView& record);
    void RegisterWrite(double now, uint32_t reg, uint8_t value);
    void Event(double now, const std::string& text);

    TVirtualCardConfig config_;
    TVirtualTrace trace_;
    TVirtualPins pins_;
    TI2cDecoder decoder_{*this};
    TVirtualSynthesizer synthesizer_;
    TVirtualRdsMemory memory_{config_.RdsWriteCycleMicroseconds};

    std::set<HANDLE> handles_;
    uintptr_t nextHandle_;
    int opens_ = 0;
    size_t versionQueries_ = 0;
    int scans_ = 0;
    bool locked_ = false;
    uint32_t releasedHandle_ = 0;
    std::vector<uint32_t> lockedTypes_;
    std::vector<uint32_t> configOffsets_;
    std::vector<uint32_t> calls_;
    bool keepCalls_ = false;
    uint32_t infoSlot_ = 0;
    std::vector<uint8_t> mapped_;
    bool carrier_ = false;
    bool stereo_ = false;
    uint32_t lost_ = 0;
    // The fault in the middle of a write: stored RDS bytes until it is armed (-1: never),
    // transfers until it strikes once armed (0: not armed), refusals still to make.
    int writesUntilFault_ = -1;
    uint32_t transfersUntilFault_ = 0;
    uint32_t refusalsLeft_ = 0;
    uint32_t refused_ = 0;
};
