// TRdsWear: the writes this program made to each byte of the card's RDS memory, kept
// across runs, and the years foretold until the most-worn byte reaches its endurance.
// Time is local seconds since 1970 (a day is local midnight to midnight), handed in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>

// The writes a byte of a 24C-class memory endures, as its makers state it.
constexpr uint64_t DefaultRdsMemoryEndurance = 1000000;
constexpr int64_t SecondsPerDay = 86400;

class TRdsWear {
public:
    // The wear of one byte.
    struct TByte {
        uint16_t Address = 0;
        uint64_t Writes = 0;
    };

    // Counting begins at Now.
    explicit TRdsWear(int64_t now = 0) : start_(now) {}
    // The counts as Text holds them; raises std::invalid_argument when it is malformed.
    static TRdsWear FromText(const std::string& text);
    // The counts as the setting "RdsWrites" keeps them.
    std::string Text() const;

    // One write of the byte at Address ended at Now.
    void Written(uint16_t address, int64_t now);
    uint64_t Writes(uint16_t address) const;
    // The most-written byte (the lowest address of equals); none written: address 0, 0 writes.
    TByte Most() const;
    // The writes made on the day of Now, of every byte together.
    uint64_t WritesOnDay(int64_t now) const;
    // Years until the first byte reaches Endurance at the pace of the last 7 days (or of
    // the counting, when it is shorter); none while under a day of counting, and none
    // when nothing was written in that time.
    std::optional<double> YearsLeft(uint64_t endurance, int64_t now) const;
    // "<most writes>,<address>,<years or ->", the years with one decimal.
    std::string Status(uint64_t endurance, int64_t now) const;

private:
    struct TDay {
        int64_t Number = 0;
        std::map<uint16_t, uint64_t> Writes;
    };
    int64_t start_ = 0;
    std::map<uint16_t, uint64_t> total_;
    // The last days with writes, oldest first, at most a week's worth and today.
    std::deque<TDay> days_;
};
