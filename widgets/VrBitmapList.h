// TVrBitmapList: a shared list of bitmaps that widgets take thumb and background
// images from; every change is told to the widgets linked to it.
#pragma once

#include "VrClasses.h"
#include "VrControls.h"

#include <memory>

class TBitmap;

class TVrBitmapList : public TVrSharedComponent {
public:
    explicit TVrBitmapList(TComponent* owner);
    ~TVrBitmapList() override;

    TVrBitmaps& Bitmaps() { return *bitmaps_; }
    void SetBitmaps(const TVrBitmaps& bitmaps) { bitmaps_->Assign(bitmaps); }
    // The bitmap at Index, or none when Index is outside the list.
    TBitmap* GetBitmap(int index) const;
    TNotifyEvent OnChange;

private:
    void BitmapsChanged();

    std::unique_ptr<TVrBitmaps> bitmaps_;
};
