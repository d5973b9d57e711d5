// The RDS memory's write counts and their foretelling.
#include "RdsWear.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace {

constexpr int64_t DaysCounted = 7;
constexpr double DaysPerYear = 365.25;
constexpr char StartKey[] = "start";
constexpr char TotalKey[] = "total";
constexpr char DayKey[] = "day";
constexpr char Pair = '=';
constexpr char NoYears[] = "-";
constexpr size_t YearsTextSize = 32;

int64_t DayOf(int64_t seconds) {
    // Whole days, also before 1970.
    return seconds >= 0 ? seconds / SecondsPerDay : -((-seconds + SecondsPerDay - 1) / SecondsPerDay);
}

void WriteCounts(std::ostringstream& out, const std::map<uint16_t, uint64_t>& counts) {
    for (const auto& count : counts) out << ' ' << count.first << Pair << count.second;
}

std::map<uint16_t, uint64_t> ReadCounts(std::istringstream& in) {
    std::map<uint16_t, uint64_t> counts;
    std::string pair;
    while (in >> pair) {
        const size_t at = pair.find(Pair);
        if (at == std::string::npos || at == 0 || at + 1 == pair.size())
            throw std::invalid_argument("'" + pair + "' is no address=count");
        size_t used = 0;
        const unsigned long address = std::stoul(pair.substr(0, at), &used);
        const std::string count = pair.substr(at + 1);
        size_t countUsed = 0;
        const unsigned long long writes = std::stoull(count, &countUsed);
        if (used != at || countUsed != count.size() || address > UINT16_MAX || count[0] == '-')
            throw std::invalid_argument("'" + pair + "' is no address=count");
        counts[static_cast<uint16_t>(address)] = writes;
    }
    return counts;
}

}  // namespace

TRdsWear TRdsWear::FromText(const std::string& text) {
    TRdsWear wear;
    std::istringstream lines(text);
    std::string line;
    bool started = false;
    try {
        while (std::getline(lines, line)) {
            std::istringstream in(line);
            std::string key;
            if (!(in >> key)) continue;
            if (key == StartKey && in >> wear.start_) {
                started = true;
            } else if (key == TotalKey) {
                wear.total_ = ReadCounts(in);
            } else if (key == DayKey) {
                TDay day;
                if (!(in >> day.Number)) throw std::invalid_argument("a day without its number");
                day.Writes = ReadCounts(in);
                wear.days_.push_back(day);
            } else {
                throw std::invalid_argument("'" + line + "' is no line of the counts");
            }
        }
    } catch (const std::out_of_range&) {
        throw std::invalid_argument("a count out of range");
    }
    if (!started) throw std::invalid_argument("the counts have no start");
    return wear;
}

std::string TRdsWear::Text() const {
    std::ostringstream out;
    out << StartKey << ' ' << start_ << '\n' << TotalKey;
    WriteCounts(out, total_);
    for (const TDay& day : days_) {
        out << '\n' << DayKey << ' ' << day.Number;
        WriteCounts(out, day.Writes);
    }
    return out.str();
}

void TRdsWear::Written(uint16_t address, int64_t now) {
    ++total_[address];
    const int64_t today = DayOf(now);
    if (days_.empty() || days_.back().Number != today) days_.push_back({today, {}});
    ++days_.back().Writes[address];
    while (!days_.empty() && days_.front().Number <= today - DaysCounted) days_.pop_front();
}

uint64_t TRdsWear::Writes(uint16_t address) const {
    const auto found = total_.find(address);
    return found == total_.end() ? 0 : found->second;
}

TRdsWear::TByte TRdsWear::Most() const {
    TByte most;
    for (const auto& count : total_)
        if (count.second > most.Writes) most = {count.first, count.second};
    return most;
}

uint64_t TRdsWear::WritesOnDay(int64_t now) const {
    uint64_t writes = 0;
    for (const TDay& day : days_)
        if (day.Number == DayOf(now))
            for (const auto& count : day.Writes) writes += count.second;
    return writes;
}

std::optional<double> TRdsWear::YearsLeft(uint64_t endurance, int64_t now) const {
    if (now - start_ < SecondsPerDay) return std::nullopt;
    const int64_t firstDay = DayOf(now) - DaysCounted + 1;
    const int64_t from = std::max(start_, firstDay * SecondsPerDay);
    const double span = static_cast<double>(now - from);
    std::map<uint16_t, uint64_t> recent;
    for (const TDay& day : days_)
        if (day.Number >= firstDay)
            for (const auto& count : day.Writes) recent[count.first] += count.second;
    std::optional<double> years;
    // The byte that reaches its endurance first, at its own pace.
    for (const auto& count : recent) {
        const uint64_t done = Writes(count.first);
        const double left = done >= endurance ? 0.0 : static_cast<double>(endurance - done);
        const double seconds = left / (static_cast<double>(count.second) / span);
        const double byteYears = seconds / SecondsPerDay / DaysPerYear;
        if (!years || byteYears < *years) years = byteYears;
    }
    return years;
}

std::string TRdsWear::Status(uint64_t endurance, int64_t now) const {
    const TByte most = Most();
    std::string years = NoYears;
    if (const std::optional<double> left = YearsLeft(endurance, now)) {
        char text[YearsTextSize];
        std::snprintf(text, sizeof text, "%.1f", *left);
        years = text;
    }
    return std::to_string(most.Writes) + "," + std::to_string(most.Address) + "," + years;
}
