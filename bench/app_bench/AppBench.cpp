// The main window's bench fixture: seeded scratch registry, stamped virtual card, started window.
#include "AppBench.h"

#include "Application.h"
#include "CardCommands.h"
#include "Form.h"
#include "SettingsStore.h"

#include <algorithm>

namespace {

const std::pair<const char*, const char*> SeededSettings[] = {
    {"Freq", "98.500MHz"}, {"PowerOn", "Yes"},        {"Power", "12"},       {"PS", "SONDEL"},
    {"RT", "Dravik Electronics FM on the SONDEL card, benched"},             {"Color", "clNavy"},
    {"EndColor", "clAqua"}, {"Stereo", "Yes"},        {"Rds", "Yes"},        {"ShutDownAtExit", "No"},
    {"PTY", "10"},         {"PIC", "2"},              {"PIA", "0"},          {"PIP", "17"},
    {"TP", "1"},           {"MS", "1"},               {"MoveToTray", "No"},
};
constexpr size_t SettingsCount = 17;
static_assert(sizeof SeededSettings / sizeof SeededSettings[0] == SettingsCount, "every setting is seeded");

}  // namespace

double Microseconds(TBenchClock::duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

const char* BuildName() { return sizeof(void*) == 8 ? "x86_64" : "i686"; }

size_t CountEvents(TVirtualCard& card, const std::string& kind) {
    return card.Trace().EventsStartingWith({kind}).size();
}

TSeededRegistry::TSeededRegistry() {
    for (const auto& [name, text] : SeededSettings) SettingsStore::WriteSetting(name, SettingsStore::SettingsSubKey, text);
}

uint32_t TStampedDevice::Call(HANDLE device, uint32_t code, void* record, uint32_t length) {
    const uint32_t result = inner_.Call(device, code, record, length);
    lastCall_ = TBenchClock::now();
    return result;
}

TBenchCard::TBenchCard() {
    // The card command module drives one card per process: each bench card starts it afresh.
    ResetModuleState();
    Card.Trace().KeepEvents(true);
    UseDriverDevice(&Device);
    Application->OnException = [this](TObject*, const std::exception& error) { Reports.push_back(error.what()); };
    Application->MessageBoxHook = [this](const std::string& text, const std::string&, unsigned) {
        Reports.push_back(text);
        return MsgBox::IdOk;
    };
}

TBenchCard::~TBenchCard() {
    UseDriverDevice(nullptr);
    Application->OnException = nullptr;
    Application->MessageBoxHook = nullptr;
}

void TBenchWindow::Start() {
    form_ = std::make_unique<TfoMain>(nullptr);
    form_->FormCreate(form_.get());
    form_->FormActivate(form_.get());
}

TBenchWindow::~TBenchWindow() {
    if (!form_ || !form_->Card()) return;
    TCloseAction action = TCloseAction::caFree;
    form_->FormClose(form_.get(), action);
}
