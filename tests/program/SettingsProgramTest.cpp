// The settings page in the real sondel.exe: opened by a later start's SETTINGS, a
// command port typed there and OK pressed, and the port then served.
#include "ProgramFixture.h"

#include <winsock2.h>

#include <string>
#include <vector>

using namespace ProgramFixture;

namespace {

constexpr char PageClass[] = "TfoSettings";
// The platform classes the toolkit's edits and buttons are made of.
constexpr char EditClass[] = "Edit";
constexpr char ButtonClass[] = "Button";
constexpr DWORD PageWaitMilliseconds = 10000;
constexpr DWORD LaterStartMilliseconds = 60000;

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> found;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window) {
    char text[64] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

class TWinsock {
public:
    TWinsock() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~TWinsock() { WSACleanup(); }
    TWinsock(const TWinsock&) = delete;
    TWinsock& operator=(const TWinsock&) = delete;
};

sockaddr_in Loopback(u_short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// A port nothing on 127.0.0.1 uses now.
u_short FreeLoopbackPort() {
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = Loopback(0);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(probe);
    return ntohs(address.sin_port);
}

bool Listening(u_short port) {
    SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = Loopback(port);
    const bool connected = connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    closesocket(client);
    return connected;
}

class SettingsProgramTest : public ProgramTest {};

TEST_F(SettingsProgramTest, ALaterStartsSettingsOpensThePageWhereACommandPortTypedIsServedAtOnce) {
    TWinsock winsock;
    const u_short port = FreeLoopbackPort();
    ASSERT_FALSE(Listening(port));
    Start();
    EXPECT_EQ(0u, RunToEnd(SONDEL_EXE, TracePath("_later"), LaterStartMilliseconds, "SETTINGS"));

    HWND page = nullptr;
    for (DWORD waited = 0; !page && waited < PageWaitMilliseconds; waited += PollMilliseconds) {
        page = FindProcessWindow(program->ProcessId(), PageClass);
        if (!page) Sleep(PollMilliseconds);
    }
    ASSERT_NE(nullptr, page) << "no settings page came up";
    EXPECT_EQ("SONDEL settings", TextOf(page));

    HWND portField = nullptr;
    HWND ok = nullptr;
    for (HWND window : Descendants(page)) {
        if (!portField && ClassOf(window) == EditClass) portField = window;
        if (ClassOf(window) == ButtonClass && TextOf(window) == "OK") ok = window;
    }
    ASSERT_NE(nullptr, portField);
    ASSERT_NE(nullptr, ok);
    const std::string typed = std::to_string(port);
    program->SendTo(portField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    program->SendTo(ok, BM_CLICK);
    program->Settle();

    EXPECT_EQ(typed, ProgramRegistry::GetSetting("CommandPort"));
    EXPECT_TRUE(Listening(port));
    EXPECT_FALSE(IsWindowVisible(page));
}

}  // namespace
