// TPopupMenu with its TMenuItem entries, shown at a screen point; a chosen item fires OnClick.
#pragma once

#include "Classes.h"

#include <string>
#include <vector>

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner) : TComponent(owner) {}
    std::string Caption;
    bool Enabled = true;
    bool Checked = false;
    TNotifyEvent OnClick;
    virtual void Click();
};

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* owner) : TComponent(owner) {}
    // Adds an item owned by the menu.
    TMenuItem* Add(const std::string& caption, TNotifyEvent onClick = nullptr);
    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int index) const;
    // Shows the menu at a screen point and waits for the choice; returns the item or null.
    virtual TMenuItem* Popup(int x, int y);
    bool AutoPopup = true;
    // The control the menu was last shown for.
    TComponent* PopupComponent = nullptr;
    TNotifyEvent OnPopup;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    std::vector<TMenuItem*> items_;
};
