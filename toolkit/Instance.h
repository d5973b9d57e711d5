// One running copy of a program per machine: a named claim held for the copy's
// life, and the request that asks the copy already running to show its window.
#pragma once

#include <string>

class TSingleInstance {
public:
    // Claims Name for this process; First() tells whether no other copy held it.
    explicit TSingleInstance(const std::string& name);
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    bool First() const { return first_; }

    // Posts the show request to the top-level window of class WindowClass (hidden
    // ones too) and lets it take the foreground; false when there is none.
    static bool AskRunningToShow(const std::string& windowClass);
    // The message id of the show request (the same in every process).
    static unsigned ShowRequestMessage();

private:
    void* mutex_ = nullptr;
    bool first_ = true;
};
