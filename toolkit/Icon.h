// TIcon: an icon picture (owned handle), loaded from the program's resources or copied.
#pragma once

#include "Classes.h"

#include <string>

class TIcon : public TPersistent {
public:
    TIcon() = default;
    ~TIcon() override;
    void Assign(const TPersistent& source) override;
    bool Empty() const { return handle_ == nullptr; }
    HICON Handle() const { return handle_; }
    // Takes ownership of an icon handle (nullptr empties the icon).
    void SetHandle(HICON icon);
    // Loads an icon resource of the program by name; raises when absent.
    void LoadFromResourceName(const std::string& name);
    int Width() const;
    int Height() const;
    TNotifyEvent OnChange;

private:
    HICON handle_ = nullptr;
};
