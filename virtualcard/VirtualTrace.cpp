// The virtual card's trace file and its in-memory copy for tests.
#include "VirtualTrace.h"

#include "WinDrvr.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr double MicrosecondsPerSecond = 1e6;

int64_t Counter()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double CounterFrequency()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
}

const double ticksPerMicrosecond = CounterFrequency() / MicrosecondsPerSecond;

} // namespace

TVirtualTrace::TVirtualTrace(const std::string& path) : start_(Counter())
{
    if (path.empty())
        return;
    file_.reset(std::fopen(path.c_str(), "w"));
    if (!file_)
        throw ECardError("Cannot write the virtual card trace \"" + path + "\": " + std::strerror(errno));
    std::fputs("# SONDEL virtual card trace: <us> <event>\n", file_.get());
    std::fflush(file_.get());
}

double TVirtualTrace::Now() const { return static_cast<double>(Counter() - start_) / ticksPerMicrosecond; }

void TVirtualTrace::Write(double microseconds, const std::string& event)
{
    if (keepEvents_)
        events_.push_back(event);
    if (file_) {
        const std::string line = std::to_string(static_cast<long long>(microseconds)) + ' ' + event + '\n';
        std::fputs(line.c_str(), file_.get());
        std::fflush(file_.get());
    }
}

std::vector<std::string> TVirtualTrace::EventsStartingWith(const std::vector<std::string>& prefixes) const
{
    std::vector<std::string> found;
    for (const std::string& event : events_)
        for (const std::string& prefix : prefixes)
            if (event.compare(0, prefix.size(), prefix) == 0) {
                found.push_back(event);
                break;
            }
    return found;
}
