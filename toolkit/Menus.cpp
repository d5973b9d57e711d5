// Popup menus over the platform's menu.
#include "Menus.h"

#include "Application.h"
#include "SysUtils.h"

#include "Win.h"

#include <algorithm>

namespace {
constexpr UINT kFirstCommand = 1;

class TMenuHandle {
public:
    TMenuHandle() : menu_(CreatePopupMenu()) {}
    TMenuHandle(const TMenuHandle&) = delete;
    TMenuHandle& operator=(const TMenuHandle&) = delete;
    ~TMenuHandle() {
        if (menu_) DestroyMenu(menu_);
    }
    HMENU Get() const { return menu_; }

private:
    HMENU menu_;
};
}  // namespace

void TMenuItem::Click() {
    if (OnClick) OnClick(this);
}

TMenuItem* TPopupMenu::Add(const std::string& caption, TNotifyEvent onClick) {
    auto* item = new TMenuItem(this);
    item->Caption = caption;
    item->OnClick = std::move(onClick);
    items_.push_back(item);
    return item;
}

TMenuItem* TPopupMenu::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + IntToStr(index) + ")");
    return items_[static_cast<size_t>(index)];
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove)
        items_.erase(std::remove(items_.begin(), items_.end(), component), items_.end());
}

TMenuItem* TPopupMenu::Popup(int x, int y) {
    if (OnPopup) OnPopup(this);
    TMenuHandle menu;
    for (size_t i = 0; i < items_.size(); ++i) {
        UINT flags = MF_STRING | (items_[i]->Enabled ? MF_ENABLED : MF_GRAYED) |
                     (items_[i]->Checked ? MF_CHECKED : MF_UNCHECKED);
        AppendMenuA(menu.Get(), flags, kFirstCommand + i, items_[i]->Caption.c_str());
    }
    UINT chosen = static_cast<UINT>(TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y,
                                                   0, Application->Handle(), nullptr));
    if (chosen < kFirstCommand || chosen >= kFirstCommand + items_.size()) return nullptr;
    TMenuItem* item = items_[chosen - kFirstCommand];
    item->Click();
    return item;
}
