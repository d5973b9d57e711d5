// The command port's allow-list: parsing its entries, matching senders, and the
// tally that keeps refused senders from filling the log.
#include "AddressAllowList.h"

#include <algorithm>

namespace {

constexpr int AddressBits = 32;
constexpr int OctetCount = 4;
constexpr int OctetBits = 8;
constexpr uint32_t OctetLast = 255;
constexpr size_t MaxOctetDigits = 3;
constexpr size_t MaxPrefixDigits = 2;
constexpr int DecimalBase = 10;
constexpr char EntrySeparator = ',';
constexpr char PrefixSeparator = '/';
constexpr char OctetSeparator = '.';
constexpr char ListSeparator[] = ", ";

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Decimal digits only, at most MaxDigits, no leading zero (which some readers take for octal).
std::optional<uint32_t> Number(std::string_view text, size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits || (text.size() > 1 && text.front() == '0')) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * DecimalBase + static_cast<uint32_t>(c - '0');
    }
    return value;
}

std::optional<uint32_t> DottedQuad(std::string_view text) {
    uint32_t address = 0;
    for (int octet = 0; octet < OctetCount; ++octet) {
        const size_t dot = text.find(OctetSeparator);
        const bool last = octet == OctetCount - 1;
        if (last != (dot == std::string_view::npos)) return std::nullopt;
        const std::optional<uint32_t> value = Number(text.substr(0, dot), MaxOctetDigits);
        if (!value || *value > OctetLast) return std::nullopt;
        address = address << OctetBits | *value;
        if (!last) text.remove_prefix(dot + 1);
    }
    return address;
}

uint32_t MaskOf(int prefixBits) {
    return prefixBits == 0 ? 0 : ~uint32_t{0} << (AddressBits - prefixBits);
}

}  // namespace

std::string AddressText(uint32_t address) {
    std::string text;
    for (int octet = OctetCount - 1; octet >= 0; --octet) {
        text += std::to_string(address >> (octet * OctetBits) & OctetLast);
        if (octet > 0) text += OctetSeparator;
    }
    return text;
}

TAddressAllowList TAddressAllowList::Parse(std::string_view text) {
    TAddressAllowList list;
    if (Trimmed(text).empty()) return list;
    for (;;) {
        const size_t comma = text.find(EntrySeparator);
        const std::string_view entry = Trimmed(text.substr(0, comma));
        const size_t slash = entry.find(PrefixSeparator);
        const std::optional<uint32_t> address = DottedQuad(entry.substr(0, slash));
        std::optional<uint32_t> prefix = AddressBits;
        if (slash != std::string_view::npos) prefix = Number(entry.substr(slash + 1), MaxPrefixDigits);
        if (!address || !prefix || *prefix > static_cast<uint32_t>(AddressBits))
            throw EAddressAllowListError("CommandPortAllow entry \"" + std::string(entry) +
                                         "\" is not an IPv4 address (192.168.1.20) or range (10.0.5.0/24)");
        const int bits = static_cast<int>(*prefix);
        list.ranges_.push_back({*address & MaskOf(bits), bits});
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return list;
}

bool TAddressAllowList::Allows(uint32_t address) const {
    if (address == Loopback) return true;
    return std::any_of(ranges_.begin(), ranges_.end(), [address](const TRange& range) {
        return (address & MaskOf(range.PrefixBits)) == range.Network;
    });
}

std::string TAddressAllowList::Text() const {
    std::string text;
    for (const TRange& range : ranges_) {
        if (!text.empty()) text += ListSeparator;
        text += AddressText(range.Network);
        if (range.PrefixBits != AddressBits) text += PrefixSeparator + std::to_string(range.PrefixBits);
    }
    return text;
}

std::optional<TRefusalTally::TReport> TRefusalTally::Refused(uint32_t address, TClock::time_point now) {
    auto found = entries_.find(address);
    if (found == entries_.end()) {
        if (entries_.size() >= MaxAddresses)
            entries_.erase(std::min_element(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) {
                return a.second.Reported < b.second.Reported;
            }));
        const bool first = !any_;
        any_ = true;
        entries_.emplace(address, TEntry{now, 0});
        return TReport{address, 1, first};
    }
    TEntry& entry = found->second;
    ++entry.Count;
    if (now - entry.Reported < ReportEvery) return std::nullopt;
    const TReport report{address, entry.Count, false};
    entry = TEntry{now, 0};
    return report;
}
