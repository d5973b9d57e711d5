// The main window test fixture on the virtual card.
#include "AppFixture.h"

#include "Application.h"
#include "CardCommands.h"
#include "WinDrvr.h"

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
    form->FormCreate(form.get());
    created = Tuning();
    form->FormActivate(form.get());
}

void AppTest::StartReady() {
    Seed("PowerOn", "No");
    Seed("Freq", "100.000MHz");
    Seed("Power", "4");
    Start();
    form->StartCommands();
    card.Trace().ClearEvents();
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
