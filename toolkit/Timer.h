// TTimer: a window-message timer on a hidden window of its own; OnTimer runs on the window thread.
#pragma once

#include "Classes.h"

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned interval);
    // Assigning a handler (re)starts the timer when it is enabled.
    void SetOnTimer(TNotifyEvent handler);
    const TNotifyEvent& OnTimer() const { return onTimer_; }

protected:
    virtual void Timer();
    void Loaded() override;

private:
    friend struct TTimerWindow;
    void UpdateTimer();
    HWND window_ = nullptr;
    bool enabled_ = true;
    unsigned interval_ = 1000;
    TNotifyEvent onTimer_;
};
