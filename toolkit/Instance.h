// One running copy of a program per machine: a claim held for the copy's life,
// the mark on the window it publishes, and the request that asks it to show that window.
#pragma once

#include "Types.h"

#include <string>

class TSingleInstance {
public:
    // How long a later start looks for the window of a copy that is still starting.
    static constexpr unsigned StartingWaitMilliseconds = 5000;

    // Claims Name for this process, machine-wide and in this logged-on session, with
    // objects that any user may create; First() tells whether no other copy held it.
    explicit TSingleInstance(const std::string& name);
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    bool First() const { return first_; }
    // The copy that holds the claim runs in this logged-on session (when not First()).
    bool HeldInThisSession() const { return heldInThisSession_; }

    // The first copy marks the window that a later start looks for.
    void PublishWindow(HWND window);
    // The marked window among the top-level windows of this desktop, looked for again
    // for up to Wait while the copy holding the claim in this session is still starting;
    // nullptr when there is none to reach.
    HWND FindRunningWindow(unsigned waitMilliseconds = StartingWaitMilliseconds) const;
    // The process of that window; 0 when there is none to reach.
    unsigned long FindRunningProcess(unsigned waitMilliseconds = StartingWaitMilliseconds) const;
    // Posts the show request to the running copy's window and lets it take the
    // foreground; false when there is no window to reach.
    bool AskRunningToShow(unsigned waitMilliseconds = StartingWaitMilliseconds) const;
    // The message id of the show request (the same in every process).
    static unsigned ShowRequestMessage();

private:
    std::string mark_;
    void* machineClaim_ = nullptr;
    void* sessionClaim_ = nullptr;
    HWND published_ = nullptr;
    bool first_ = true;
    bool heldInThisSession_ = false;
};
