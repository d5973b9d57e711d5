// The addresses the command port serves besides 127.0.0.1 (the setting
// "CommandPortAllow"): IPv4 addresses and ranges, and the tally of refused senders.
#pragma once

#include "SysUtils.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An entry that is no IPv4 address or range; the message names it.
class EAddressAllowListError : public Exception {
    using Exception::Exception;
};

// Addresses are in host byte order: 192.0.2.20 is 0xC0000214.
std::string AddressText(uint32_t address);

class TAddressAllowList {
public:
    static constexpr uint32_t Loopback = 0x7F000001;

    TAddressAllowList() = default;
    // "192.168.1.20, 10.0.5.0/24": entries separated by commas, blanks around them
    // ignored; blank text is the empty list. Raises EAddressAllowListError naming the
    // first malformed entry.
    static TAddressAllowList Parse(std::string_view text);

    // Empty: the port listens on 127.0.0.1 only.
    bool Empty() const { return ranges_.empty(); }
    // 127.0.0.1 and the listed senders.
    bool Allows(uint32_t address) const;
    // The entries as the list holds them: "192.168.1.20, 10.0.5.0/24".
    std::string Text() const;

private:
    struct TRange {
        uint32_t Network;
        int PrefixBits;
    };
    std::vector<TRange> ranges_;
};

// Refused senders, so that a scan cannot fill the log: each address is reported at
// most once an hour, with how many times it was refused since.
class TRefusalTally {
public:
    using TClock = std::chrono::steady_clock;
    static constexpr std::chrono::hours ReportEvery{1};
    // Addresses remembered; beyond them the one reported longest ago is forgotten.
    static constexpr size_t MaxAddresses = 1024;

    struct TReport {
        uint32_t Address;
        // Refusals of this address since its last report, this one included.
        unsigned Count;
        // No address was refused before in this tally's life.
        bool First;
    };
    // One refusal of Address at Now: the report to write, or nothing yet.
    std::optional<TReport> Refused(uint32_t address, TClock::time_point now);

private:
    struct TEntry {
        TClock::time_point Reported;
        unsigned Count = 0;
    };
    std::map<uint32_t, TEntry> entries_;
    bool any_ = false;
};
