// The tray icon: what it sends to the shell (recorded in place of the notification area), its
// mouse events and menu, re-adding and retrying, and hiding and restoring the application.
#include "Application.h"
#include "Form.h"
#include "Menus.h"
#include "VrSystem.h"

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct ShellCall {
    unsigned message;
    unsigned size;
    std::vector<unsigned char> bytes;
    const NOTIFYICONDATAA& Record() const { return *reinterpret_cast<const NOTIFYICONDATAA*>(bytes.data()); }
    std::string Tip() const { return std::string(Record().szTip, strnlen(Record().szTip, 64)); }
};

// Keeps every call with the record's bytes as sent; refuses the first RefuseAdds adds.
class TShellRecorder : public TNotifyIconShell {
public:
    bool Notify(unsigned message, const TNotifyIconData& data) override {
        ShellCall call{message, data.Size(), std::vector<unsigned char>(sizeof(NOTIFYICONDATAA), 0)};
        std::memcpy(call.bytes.data(), &data.Record(), data.Size());
        calls.push_back(call);
        if (message == NotifyIconMessage::Add && RefuseAdds > 0) {
            --RefuseAdds;
            return false;
        }
        return true;
    }
    int Count(unsigned message) const {
        int count = 0;
        for (const auto& call : calls) count += call.message == message;
        return count;
    }
    std::vector<ShellCall> calls;
    int RefuseAdds = 0;
};

class TrayIcon : public ::testing::Test {
protected:
    void SetUp() override {
        UseNotifyIconShell(&shell);
        icon.LoadFromResourceName("MAINICON");
    }
    void TearDown() override { UseNotifyIconShell(nullptr); }

    // Pumps messages until Done holds or the time is up.
    template <typename F>
    bool PumpUntil(F done, DWORD milliseconds) {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > milliseconds) return false;
            Application->ProcessMessages();
            Sleep(2);
        }
        return true;
    }

    TShellRecorder shell;
    TIcon icon;
};

TEST_F(TrayIcon, SendsThePlatformsFirstRecordWithWindowIconAndCallback) {
    TVrTrayIcon tray(nullptr);
    tray.SetIcon(icon);
    EXPECT_TRUE(shell.calls.empty());
    tray.SetVisible(true);
    ASSERT_EQ(1u, shell.calls.size());
    const ShellCall& add = shell.calls[0];
    EXPECT_EQ(NotifyIconMessage::Add, add.message);
    const unsigned firstLayout = NOTIFYICONDATAA_V1_SIZE;
    EXPECT_EQ(firstLayout, add.size);
    EXPECT_EQ(firstLayout, add.Record().cbSize);
#ifndef _WIN64
    EXPECT_EQ(88u, add.Record().cbSize);
#endif
    EXPECT_EQ(tray.Handle(), add.Record().hWnd);
    EXPECT_NE(nullptr, add.Record().hWnd);
    EXPECT_EQ(0u, add.Record().uID);
    EXPECT_EQ(7u, add.Record().uFlags);
    EXPECT_EQ(1092u, add.Record().uCallbackMessage);
    EXPECT_EQ(tray.Icon().Handle(), add.Record().hIcon);
    EXPECT_NE(nullptr, add.Record().hIcon);
    EXPECT_EQ(std::string(64, '\0'), std::string(add.Record().szTip, 64));
}

TEST_F(TrayIcon, AddsOnceModifiesOnChangesAndDeletesWhenHidden) {
    TVrTrayIcon tray(nullptr);
    tray.SetIcon(icon);
    tray.SetShowHint(true);
    tray.SetVisible(true);
    tray.SetVisible(true);
    tray.SetHint("100.000MHz");
    tray.SetHint("100.000MHz");
    tray.SetShowHint(true);
    tray.SetVisible(false);
    tray.SetVisible(false);
    ASSERT_EQ(3u, shell.calls.size());
    EXPECT_EQ(NotifyIconMessage::Add, shell.calls[0].message);
    EXPECT_EQ(NotifyIconMessage::Modify, shell.calls[1].message);
    EXPECT_EQ("100.000MHz", shell.calls[1].Tip());
    EXPECT_EQ(NotifyIconMessage::Delete, shell.calls[2].message);
    tray.SetHint("hidden");
    EXPECT_EQ(3u, shell.calls.size()) << "a hidden icon is not refreshed";
}

TEST_F(TrayIcon, SeventyCharacterHintShowsItsFirstSixtyThree) {
    TVrTrayIcon tray(nullptr);
    tray.SetIcon(icon);
    tray.SetVisible(true);
    const std::string hint = "Sondel ultra 3.0 - 100.000MHz, stereo, RDS on, power level 15, carrier";
    ASSERT_EQ(70u, hint.size());
    tray.SetHint(hint);
    EXPECT_EQ(std::string(64, '\0'), std::string(shell.calls.back().Record().szTip, 64)) << "ShowHint is off";
    tray.SetShowHint(true);
    EXPECT_EQ(NotifyIconMessage::Modify, shell.calls.back().message);
    EXPECT_EQ("Sondel ultra 3.0 - 100.000MHz, stereo, RDS on, power level 15, ", shell.calls.back().Tip());
    EXPECT_EQ('\0', shell.calls.back().Record().szTip[63]);
    tray.SetShowHint(false);
    EXPECT_EQ(std::string(64, '\0'), std::string(shell.calls.back().Record().szTip, 64));
}

TEST_F(TrayIcon, ShowsNothingWithoutAnIconUntilOneIsAssigned) {
    TVrTrayIcon tray(nullptr);
    tray.SetVisible(true);
    EXPECT_TRUE(shell.calls.empty());
    tray.SetIcon(icon);
    ASSERT_EQ(1u, shell.calls.size());
    EXPECT_EQ(NotifyIconMessage::Add, shell.calls[0].message);
}

TEST_F(TrayIcon, DestructionRemovesTheEntry) {
    {
        TVrTrayIcon tray(nullptr);
        tray.SetIcon(icon);
        tray.SetVisible(true);
    }
    ASSERT_EQ(2u, shell.calls.size());
    EXPECT_EQ(NotifyIconMessage::Delete, shell.calls[1].message);
}

TEST_F(TrayIcon, AddsAgainWhenTheTaskbarIsCreatedAnew) {
    TVrTrayIcon tray(nullptr);
    tray.SetIcon(icon);
    SendMessageA(tray.Handle(), TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(shell.calls.empty()) << "a hidden icon stays hidden";
    tray.SetVisible(true);
    SendMessageA(tray.Handle(), TaskbarCreatedMessage(), 0, 0);
    ASSERT_EQ(2u, shell.calls.size());
    EXPECT_EQ(NotifyIconMessage::Add, shell.calls[1].message);
    EXPECT_EQ(tray.Icon().Handle(), shell.calls[1].Record().hIcon);
    tray.SetHint("x");
    EXPECT_EQ(NotifyIconMessage::Modify, shell.calls.back().message);
}

TEST_F(TrayIcon, RetriesARefusedAddUntilTheShellTakesIt) {
    shell.RefuseAdds = 2;
    TVrTrayIcon tray(nullptr);
    tray.AddRetryInterval = 10;
    tray.SetIcon(icon);
    tray.SetVisible(true);
    EXPECT_EQ(1, shell.Count(NotifyIconMessage::Add));
    ASSERT_TRUE(PumpUntil([&] { return shell.Count(NotifyIconMessage::Add) == 3; }, 3000));
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(3, shell.Count(NotifyIconMessage::Add));
    tray.SetHint("x");
    EXPECT_EQ(NotifyIconMessage::Modify, shell.calls.back().message);
}

TEST_F(TrayIcon, GivesUpAfterFiveRetries) {
    shell.RefuseAdds = 1000;
    TVrTrayIcon tray(nullptr);
    tray.AddRetryInterval = 10;
    tray.SetIcon(icon);
    tray.SetVisible(true);
    ASSERT_TRUE(PumpUntil([&] { return shell.Count(NotifyIconMessage::Add) == 6; }, 3000));
    PumpUntil([] { return false; }, 150);
    EXPECT_EQ(6, shell.Count(NotifyIconMessage::Add));
    EXPECT_EQ(0, shell.Count(NotifyIconMessage::Delete)) << "never added, so nothing to delete";
}

TEST_F(TrayIcon, HidingStopsTheRetries) {
    shell.RefuseAdds = 1000;
    TVrTrayIcon tray(nullptr);
    tray.AddRetryInterval = 10;
    tray.SetIcon(icon);
    tray.SetVisible(true);
    tray.SetVisible(false);
    PumpUntil([] { return false; }, 150);
    EXPECT_EQ(1, shell.Count(NotifyIconMessage::Add));
    EXPECT_EQ(0, shell.Count(NotifyIconMessage::Delete));
}

// Sends the shell's callback for one mouse message to the tray icon's window.
void Callback(TVrTrayIcon& tray, unsigned mouseMessage) {
    SendMessageA(tray.Handle(), 1092, 0, static_cast<LPARAM>(mouseMessage));
}

class TRecordingMenu : public TPopupMenu {
public:
    using TPopupMenu::TPopupMenu;
    TMenuItem* Popup(int x, int y) override {
        shown.push_back(Point(x, y));
        return nullptr;
    }
    std::vector<TPoint> shown;
};

struct EventLog {
    void Attach(TVrTrayIcon& tray) {
        tray.OnClick = [this](TObject*) { events.push_back("click"); };
        tray.OnDblClick = [this](TObject*) { events.push_back("dblclick"); };
        tray.OnMouseDown = [this](TObject*, TMouseButton button, TShiftState shift, int x, int y) {
            events.push_back("down " + Name(button, shift));
            at = Point(x, y);
        };
        tray.OnMouseUp = [this](TObject*, TMouseButton button, TShiftState shift, int, int) {
            events.push_back("up " + Name(button, shift));
        };
        tray.OnMouseMove = [this](TObject*, TShiftState, int, int) { events.push_back("move"); };
    }
    static std::string Name(TMouseButton button, TShiftState shift) {
        switch (button) {
        case TMouseButton::mbLeft: return shift.Contains(TShiftKey::ssLeft) ? "left" : "left?";
        case TMouseButton::mbRight: return shift.Contains(TShiftKey::ssRight) ? "right" : "right?";
        case TMouseButton::mbMiddle: return shift.Contains(TShiftKey::ssMiddle) ? "middle" : "middle?";
        }
        return "?";
    }
    std::vector<std::string> events;
    TPoint at;
};

TEST_F(TrayIcon, TurnsCallbacksIntoEventsAndClicks) {
    TVrTrayIcon tray(nullptr);
    EventLog log;
    log.Attach(tray);
    SetCursorPos(321, 123);
    Callback(tray, WM_MOUSEMOVE);
    Callback(tray, WM_LBUTTONDOWN);
    Callback(tray, WM_LBUTTONUP);
    Callback(tray, WM_LBUTTONDBLCLK);
    Callback(tray, WM_LBUTTONUP);
    Callback(tray, WM_RBUTTONDOWN);
    Callback(tray, WM_RBUTTONUP);
    Callback(tray, WM_MBUTTONDOWN);
    Callback(tray, WM_MBUTTONUP);
    Callback(tray, WM_MBUTTONDBLCLK);
    Callback(tray, WM_KEYDOWN);
    EXPECT_EQ((std::vector<std::string>{"move", "down left", "click", "up left", "dblclick", "up left", "down right",
                                        "up right", "down middle", "up middle", "dblclick"}),
              log.events);
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_EQ(Point(cursor.x, cursor.y), log.at) << "screen coordinates of the cursor";
}

TEST_F(TrayIcon, DisabledIgnoresTheMouse) {
    TVrTrayIcon tray(nullptr);
    EventLog log;
    log.Attach(tray);
    TRecordingMenu menu(nullptr);
    tray.SetPopupMenu(&menu);
    tray.SetEnabled(false);
    Callback(tray, WM_LBUTTONDOWN);
    Callback(tray, WM_LBUTTONUP);
    Callback(tray, WM_RBUTTONDOWN);
    Callback(tray, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(log.events.empty());
    EXPECT_TRUE(menu.shown.empty());
    tray.SetPopupMenu(nullptr);
}

TEST_F(TrayIcon, MainWindowConfigurationNeverClicksButDoubleClicks) {
    TVrTrayIcon tray(nullptr);
    tray.SetShowHint(true);
    tray.SetHideTaskBtn(true);
    tray.SetLeftBtnPopup(true);
    EventLog log;
    log.Attach(tray);
    Callback(tray, WM_LBUTTONDOWN);
    Callback(tray, WM_LBUTTONUP);
    Callback(tray, WM_LBUTTONDBLCLK);
    Callback(tray, WM_LBUTTONUP);
    EXPECT_EQ((std::vector<std::string>{"down left", "up left", "dblclick", "up left"}), log.events);
}

TEST_F(TrayIcon, PopsTheMenuUpAtTheCursorAndForgetsADestroyedMenu) {
    TVrTrayIcon tray(nullptr);
    EventLog log;
    log.Attach(tray);
    auto* menu = new TRecordingMenu(nullptr);
    tray.SetPopupMenu(menu);
    SetCursorPos(200, 150);
    POINT cursor;
    GetCursorPos(&cursor);
    Callback(tray, WM_RBUTTONDOWN);
    ASSERT_EQ(1u, menu->shown.size());
    EXPECT_EQ(Point(cursor.x, cursor.y), menu->shown[0]);

    tray.SetLeftBtnPopup(true);
    Callback(tray, WM_LBUTTONDOWN);
    Callback(tray, WM_LBUTTONUP);
    EXPECT_EQ(2u, menu->shown.size());
    EXPECT_EQ((std::vector<std::string>{"down right", "down left", "up left"}), log.events);

    delete menu;
    EXPECT_EQ(nullptr, tray.PopupMenu());
    Callback(tray, WM_RBUTTONDOWN);
}

// One flow, since every hide of a shown window costs the test seconds under Wine without a
// window manager.
TEST_F(TrayIcon, MinimisingHidesTheApplicationAndRestoreBringsItBack) {
    TForm* form = Application->MainForm();
    if (!form) Application->CreateForm(form);
    form->Show();
    ShowWindow(Application->Handle(), SW_SHOWNOACTIVATE);
    Application->ProcessMessages();
    TVrTrayIcon tray(nullptr);
    tray.SetIcon(icon);

    Application->Minimize();
    Application->ProcessMessages();
    EXPECT_FALSE(tray.Visible()) << "without HideTaskBtn minimising leaves the tray alone";
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    Application->Restore();

    tray.SetHideTaskBtn(true);
    Application->Minimize();
    Application->ProcessMessages();
    EXPECT_FALSE(IsWindowVisible(Application->Handle()));
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    EXPECT_TRUE(tray.Visible());
    ASSERT_EQ(1u, shell.calls.size());
    EXPECT_EQ(NotifyIconMessage::Add, shell.calls[0].message);

    // The main window's double click: hide the icon, bring the windows back.
    tray.SetVisible(false);
    tray.RestoreApplication();
    EXPECT_TRUE(IsWindowVisible(Application->Handle()));
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    EXPECT_FALSE(IsIconic(Application->Handle()));
    ASSERT_EQ(2u, shell.calls.size());
    EXPECT_EQ(NotifyIconMessage::Delete, shell.calls[1].message);

    // Called directly, hiding shows no icon: the main window sets Visible itself.
    tray.HideApplication();
    EXPECT_FALSE(IsWindowVisible(Application->Handle()));
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    EXPECT_EQ(2u, shell.calls.size());
    form->Hide();
}

}  // namespace
