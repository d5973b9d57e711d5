// One running copy of a program per machine: a named claim held for the copy's
// life, and the request that asks the copy already running to show its window.
#pragma once

#include "Types.h"

#include <string>

class TSingleInstance {
public:
    // Claims Name for this process; First() tells whether no other copy held it.
    explicit TSingleInstance(const std::string& name);
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    bool First() const { return first_; }

    // The first copy names the window that a later start asks to show itself.
    void PublishWindow(HWND window);
    // Posts the show request to the window the first copy published and lets it
    // take the foreground; false when there is none.
    bool AskRunningToShow() const;
    // The message id of the show request (the same in every process).
    static unsigned ShowRequestMessage();

private:
    void* mutex_ = nullptr;
    // Shared with the other copies: the published window's handle.
    void* windowRecord_ = nullptr;
    bool first_ = true;
};
