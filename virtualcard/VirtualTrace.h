// The virtual card's trace: one line per event, stamped with the microseconds
// since the card was created, flushed at once so another process can follow it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class TVirtualTrace {
public:
    // An empty path writes no file.
    explicit TVirtualTrace(const std::string& path);
    TVirtualTrace(const TVirtualTrace&) = delete;
    TVirtualTrace& operator=(const TVirtualTrace&) = delete;

    double Now() const;   // microseconds since creation
    bool Active() const { return file_ || keepEvents_; }
    void Write(double microseconds, const std::string& event);

    // Tests keep the events (the lines without their time stamps) in memory.
    void KeepEvents(bool keep) { keepEvents_ = keep; }
    const std::vector<std::string>& Events() const { return events_; }
    // The kept events that begin with one of the prefixes (e.g. "RDS "), in order.
    std::vector<std::string> EventsStartingWith(const std::vector<std::string>& prefixes) const;
    void ClearEvents() { events_.clear(); }

private:
    struct TCloseFile {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    int64_t start_;
    std::unique_ptr<std::FILE, TCloseFile> file_;
    bool keepEvents_ = false;
    std::vector<std::string> events_;
};
