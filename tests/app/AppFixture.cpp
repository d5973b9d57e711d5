// The main window test fixture on the virtual card.
#include "AppFixture.h"

#include "Application.h"
#include "CardCommands.h"
#include "CommandQueue.h"
#include "Testing.h"
#include "WinDrvr.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

void AppTest::SetUp() {
    // The card command module drives one card for the whole process: each test starts it afresh.
    ResetModuleState();
    card.Trace().KeepEvents(true);
    UseDriverDevice(&card);
    Application->OnException = [this](TObject*, const std::exception& error) { reports.push_back(error.what()); };
    Application->MessageBoxHook = [this](const std::string& text, const std::string&, unsigned) {
        messageBoxes.push_back(text);
        return MsgBox::IdOk;
    };
}

void AppTest::TearDown() {
    Close();
    form.reset();
    UseDriverDevice(nullptr);
    Application->OnException = nullptr;
    Application->MessageBoxHook = nullptr;
}

void AppTest::Start() {
    form = std::make_unique<TfoMain>(nullptr);
    form->LogPlace = {logFolder.Path(), [this] { return logNow; }};
    form->FormCreate(form.get());
    created = Tuning();
    form->FormActivate(form.get());
}

void AppTest::StartReady() {
    StartReadyKeepingTrace();
    card.Trace().ClearEvents();
}

void AppTest::StartReadyKeepingTrace() {
    Seed("PowerOn", "No");
    Seed("Freq", "100.000MHz");
    Seed("Power", "4");
    Start();
    form->StartCommands();
}

void AppTest::Close() {
    if (!form || !form->Card()) return;
    TCloseAction action = TCloseAction::caFree;
    form->FormClose(form.get(), action);
}

std::vector<std::string> AppTest::Tuning() {
    const std::vector<std::string> tuning = card.Trace().EventsStartingWith({"SYNTH", "CARRIER", "STEREO"});
    card.Trace().ClearEvents();
    return tuning;
}

std::vector<std::string> AppTest::LogLines() {
    constexpr std::chrono::milliseconds FlushLimit{5000};
    if (form && form->Log()) form->Log()->Flush(FlushLimit);
    char day[16];
    std::snprintf(day, sizeof day, "%04d-%02d-%02d.log", logNow.Year, logNow.Month, logNow.Day);
    std::ifstream file(logFolder / day, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    // "2026-12-09 14:32:05 " before the way in.
    constexpr size_t StampLength = 20;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line.size() > StampLength ? line.substr(StampLength) : line);
    }
    return lines;
}

void AppTest::OnClient(const std::function<void()>& client, int waitMilliseconds) {
    std::atomic<bool> done{false};
    std::thread thread([&] {
        client();
        done = true;
    });
    Testing::PumpUntil([&] { return done.load(); }, waitMilliseconds);
    thread.join();
}

std::vector<std::string> AppTest::SubmitAsClient(const TCommand& command, TWayIn way, int waitMilliseconds) {
    std::vector<std::string> replies;
    OnClient(
        [&] {
            std::atomic<bool> stop{false};
            replies = form->Commands().Submit({command}, std::chrono::milliseconds(waitMilliseconds), stop, way);
        },
        waitMilliseconds);
    return replies;
}
