// The notification-area record's layout, the tip cut, and the hidden window.
#include "NotifyIcon.h"

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(NotifyIconData, IsThePlatformsFirstLayout) {
    TNotifyIconData data;
    const NOTIFYICONDATAA& record = data.Record();
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, szTip) + 64, data.Size());
#ifndef _WIN64
    EXPECT_EQ(88u, data.Size());
    EXPECT_EQ(24u, offsetof(NOTIFYICONDATAA, szTip));
#endif
    EXPECT_EQ(data.Size(), record.cbSize);
    EXPECT_EQ(0u, record.uID);
    EXPECT_EQ(7u, record.uFlags);
    EXPECT_EQ(1092u, record.uCallbackMessage);
    EXPECT_EQ(nullptr, record.hWnd);
    EXPECT_EQ(nullptr, record.hIcon);
    EXPECT_EQ(std::string(64, '\0'), std::string(record.szTip, 64));
}

TEST(NotifyIconData, TipKeepsSixtyThreeCharactersAndItsZero) {
    TNotifyIconData data;
    const std::string seventy = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ!#$%&()*";
    ASSERT_EQ(70u, seventy.size());
    data.SetTip(seventy);
    EXPECT_EQ("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ!", data.Tip());
    EXPECT_EQ('\0', data.Record().szTip[63]);

    data.SetTip("Sondel");
    EXPECT_EQ("Sondel", data.Tip());
    EXPECT_EQ(std::string(58, '\0'), std::string(data.Record().szTip + 6, 58));

    data.SetTip("");
    EXPECT_EQ(std::string(64, '\0'), std::string(data.Record().szTip, 64));
}

TEST(NotifyWindow, HandlesWhatItHandlesAndHearsTheTaskbarBroadcastMessage) {
    std::vector<unsigned> seen;
    TNotifyWindow window([&](TMessage& message) {
        if (message.Msg != TNotifyIconData::kCallbackMessage && message.Msg != TaskbarCreatedMessage()) return false;
        seen.push_back(message.Msg);
        message.Result = 42;
        return true;
    });
    ASSERT_NE(nullptr, window.Handle());
    EXPECT_FALSE(IsWindowVisible(window.Handle()));
    // A top-level window: message-only windows miss the shell's broadcasts.
    EXPECT_EQ(nullptr, GetParent(window.Handle()));
    EXPECT_EQ(42, SendMessageA(window.Handle(), TNotifyIconData::kCallbackMessage, 0, WM_LBUTTONDOWN));
    EXPECT_EQ(42, SendMessageA(window.Handle(), TaskbarCreatedMessage(), 0, 0));
    EXPECT_EQ(0, SendMessageA(window.Handle(), WM_USER + 1, 0, 0));
    EXPECT_EQ((std::vector<unsigned>{1092u, TaskbarCreatedMessage()}), seen);
    EXPECT_NE(0u, TaskbarCreatedMessage());
}

}  // namespace
