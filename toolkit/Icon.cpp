// Icons from resources; copies are made with CopyIcon so each TIcon owns its handle.
#include "Icon.h"

#include "SysUtils.h"

#include "Win.h"

TIcon::~TIcon() {
    if (handle_) DestroyIcon(handle_);
}

void TIcon::SetHandle(HICON icon) {
    if (icon == handle_) return;
    if (handle_) DestroyIcon(handle_);
    handle_ = icon;
    if (OnChange) OnChange(this);
}

void TIcon::Assign(const TPersistent& source) {
    auto* other = dynamic_cast<const TIcon*>(&source);
    if (!other) return TPersistent::Assign(source);
    if (other == this) return;
    SetHandle(other->handle_ ? CopyIcon(other->handle_) : nullptr);
}

void TIcon::LoadFromResourceName(const std::string& name) {
    auto icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), name.c_str(), IMAGE_ICON, 0, 0, 0));
    if (!icon) throw EInvalidGraphic("Resource " + name + " not found");
    SetHandle(icon);
}

namespace {
SIZE IconSize(HICON icon) {
    SIZE size{};
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return size;
    BITMAP bitmap{};
    GetObjectA(info.hbmMask, sizeof bitmap, &bitmap);
    size.cx = bitmap.bmWidth;
    size.cy = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return size;
}
}  // namespace

int TIcon::Width() const { return IconSize(handle_).cx; }
int TIcon::Height() const { return IconSize(handle_).cy; }
