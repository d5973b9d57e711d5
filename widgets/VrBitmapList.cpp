// The shared bitmap list: tells its links, then its own OnChange, of every change.
#include "VrBitmapList.h"

#include "Bitmap.h"

TVrBitmapList::TVrBitmapList(TComponent* owner) : TVrSharedComponent(owner), bitmaps_(std::make_unique<TVrBitmaps>()) {
    bitmaps_->OnChange = [this](TObject*) { BitmapsChanged(); };
}

TVrBitmapList::~TVrBitmapList() { bitmaps_->OnChange = nullptr; }

TBitmap* TVrBitmapList::GetBitmap(int index) const {
    if (index < 0 || index >= bitmaps_->Count()) return nullptr;
    return &bitmaps_->Bitmaps(index);
}

void TVrBitmapList::BitmapsChanged() {
    NotifyClients();
    if (OnChange) OnChange(this);
}
