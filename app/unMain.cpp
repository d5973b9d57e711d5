// The main window's life and its transmitter handlers: the card object from
// creation to close, the frequency steps, the power level and the option LEDs.
#include "unMain.h"

#include "CommandQueue.h"
#include "FrequencyText.h"
#include "CardCommands.h"
#include "PCICard.h"
// After the card headers: drops the platform's MessageBox macro they bring along.
#include "Win.h"
#include "Registry.h"
#include "RestartRegistration.h"
#include "StationLogLines.h"
#include "SettingsStore.h"
#include "SysUtils.h"
#include "Application.h"
#include "VrCheckLed.h"
#include "VrMatrix.h"
#include "VrNavigator.h"
#include "VrTrackBar.h"
#include "VrTrayIcon.h"

#include <algorithm>
#include <exception>

TfoMain* foMain = nullptr;
const char* const ApplicationTitle = "SONDEL 2005 RDS";

namespace {

using SettingsStore::FlagText;
using SettingsStore::ReadIntegerSetting;
using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

constexpr char OpenFailurePrefix[] =
    "Unable to open Sondel card. Try to move SONDEL to another PCI slot or reinstall the driver. "
    "Last reported error: ";
constexpr int32_t DecreaseByOneMHz = -1000;
constexpr int32_t DecreaseBy100KHz = -100;
constexpr int32_t IncreaseBy100KHz = 100;
constexpr int32_t IncreaseByOneMHz = 1000;
// The synthesizer's divider as the card module holds it: high byte, low byte, 50 kHz steps.
constexpr int DividerHighShift = 8;
constexpr int32_t DividerKHz = 50;
// "Notice" puts the start's reports into the notice area; anything else keeps the boxes.
constexpr char StartReportsSetting[] = "StartReports";
constexpr char StartReportsAsNotices[] = "Notice";
constexpr char NoCardNoticePrefix[] = "The card is not open (";
constexpr char NoCardNoticeSuffix[] = "): every change is stored, none goes on air.";

}  // namespace

void TStoreRefusal::Run(const std::function<void()>& step) {
    try {
        step();
    } catch (const ERegistryException&) {
        if (!refused_) refused_ = std::current_exception();
    }
}

void TStoreRefusal::Raise() const {
    if (refused_) std::rethrow_exception(refused_);
}

TfoMain::TfoMain(TComponent* owner)
    : TForm(owner),
      commandQueue_(std::make_unique<TCommandQueue>()),
      waysIn_(std::make_unique<TWaysIn>(static_cast<TWaysInOwner&>(*this), *commandQueue_)) {
    CreateControls();
    BindHandlers();
    OnCreate = [this](TObject* sender) { FormCreate(sender); };
    OnActivate = [this](TObject* sender) {
        FormActivate(sender);
        if (Restored()) StartCommands();
    };
    OnClose = [this](TObject* sender, TCloseAction& action) { FormClose(sender, action); };
}

TfoMain::~TfoMain() {
    StopCommands();
    SettingsStore::OnRefusedWrite(nullptr);
    if (foMain == this) foMain = nullptr;
}

void TfoMain::BindHandlers() {
    VrMediaButton1->OnClick = [this](TObject* sender) { VrMediaButton1Click(sender); };
    VrMediaButton4->OnClick = [this](TObject* sender) { VrMediaButton4Click(sender); };
    VrMediaButton2->OnClick = [this](TObject* sender) { VrMediaButton2Click(sender); };
    VrMediaButton3->OnClick = [this](TObject* sender) { VrMediaButton3Click(sender); };
    VrTrackBar1->OnChange = [this](TObject* sender) { VrTrackBar1Change(sender); };
    VrCheckLed2->OnChange = [this](TObject* sender) { VrCheckLed2Change(sender); };
    VrCheckLed1->OnChange = [this](TObject* sender) { VrCheckLed1Change(sender); };
    BindOptionHandlers();
    BindRdsHandlers();
}

void TfoMain::FormCreate(TObject*) {
    // An installer that closes the program for an update starts the new version again.
    RegisterRestartAfterUpdate();
    BindSettingsMenus();
    OpenStationLog();
    TWayScope way(*this, TLogWay::Start);
    LogEvent(ProgramStarted(ProgramVersion));
    startReportsAsNotices_ = SettingsStore::ReadSetting(StartReportsSetting) == StartReportsAsNotices;
    RestoreRdsWear();
    card_ = std::make_unique<TSondelCard>();
    if (!card_->OpenCard()) {
        LogEvent(CardNotOpened(card_->LastError));
        ShowNotice(TNoticeSource::Card, NoCardNoticePrefix + card_->LastError + NoCardNoticeSuffix);
        // Shown once the ways in are open, so that it holds none of them.
        cardFailureBox_ = OpenFailurePrefix + card_->LastError;
    } else {
        LogEvent(CardOpened());
    }
}

void TfoMain::FormClose(TObject*, TCloseAction&) {
    StopCommands();
    const TLogWay how = CloseReason() == TCloseReason::crAppUpdate  ? TLogWay::Update
                        : CloseReason() == TCloseReason::crSessionEnd ? TLogWay::LogOff
                                                                      : TLogWay::Close;
    TWayScope way(*this, how);
    if (card_) {
        // An installer closes the program only to replace its files and starts the new version
        // at once: the station stays on the air, whatever "Shut down at exit" says.
        if (VrCheckLed3->Checked() && how != TLogWay::Update && CardOnAir()) SwitchCarrier(false);
        // Releasing the card writes nothing to it; the new copy can then take it.
        card_->CloseCard();
        card_.reset();
    }
    LogEvent(ProgramEnded(how));
    SettingsStore::OnRefusedWrite(nullptr);
    // Closed here, while the window its problems are posted to still exists.
    if (log_) log_->Close();
}

void TfoMain::StepFrequency(int32_t delta) { StepFrequencyWithPower(delta, std::nullopt); }

void TfoMain::StepFrequencyWithPower(int32_t delta, std::optional<int> level) {
    const uint32_t stepped = FrequencyText::ToKHz(VrMatrix1->Text()) + static_cast<uint32_t>(delta);
    const uint32_t frequency = FrequencyText::WrapIntoBand(stepped);
    VrMatrix1->SetText(FrequencyText::FromKHz(frequency));
    ShowFrequencyInTrayHint();
    // A store this user may not write is told after the tune: the card still goes
    // where the display says.
    std::exception_ptr refused;
    try {
        WriteSetting("Freq", SettingsSubKey, VrMatrix1->Text());
    } catch (const ERegistryException&) {
        refused = std::current_exception();
    }
    // A level outside the track bar's range (a hand-edited store) is sent as its
    // nearest level, not as its low eight bits.
    const int power = std::clamp(level ? *level : ReadIntegerSetting("Power"), VrTrackBar1->MinValue(),
                                 VrTrackBar1->MaxValue());
    card_->SetFrequency(frequency, static_cast<uint8_t>(power));
    LogOnAir(Tuned(frequency, power), FrequencySet(frequency, power));
    if (refused) std::rethrow_exception(refused);
}

void TfoMain::VrMediaButton1Click(TObject*) { StepFrequency(DecreaseByOneMHz); }
void TfoMain::VrMediaButton4Click(TObject*) { StepFrequency(DecreaseBy100KHz); }
void TfoMain::VrMediaButton2Click(TObject*) { StepFrequency(IncreaseBy100KHz); }
void TfoMain::VrMediaButton3Click(TObject*) { StepFrequency(IncreaseByOneMHz); }

void TfoMain::VrTrackBar1Change(TObject*) {
    // A level that cannot be stored still reaches the card, as a frequency does; the
    // refusal is told after the tune.
    TStoreRefusal refusal;
    refusal.Run([this] { WriteSetting("Power", SettingsSubKey, IntToStr(VrTrackBar1->Position())); });
    const int level = VrTrackBar1->Position();
    refusal.Run([this, level, &refusal] {
        StepFrequencyWithPower(0, refusal.Refused() ? std::optional<int>(level) : std::nullopt);
    });
    refusal.Raise();
}

void TfoMain::VrCheckLed2Change(TObject*) {
    TStoreRefusal refusal;
    if (VrCheckLed2->Checked()) {
        SwitchCarrier(true);
        refusal.Run([this] { StepFrequency(0); });
        refusal.Run([] { WriteSetting("PowerOn", SettingsSubKey, FlagText(true)); });
    } else {
        SwitchCarrier(false);
        refusal.Run([] { WriteSetting("PowerOn", SettingsSubKey, FlagText(false)); });
    }
    refusal.Raise();
}

bool TfoMain::CardOnAir() const { return card_ && card_->Opened; }

std::string TfoMain::CardFailure() const { return card_ ? card_->LastError : std::string(); }

void TfoMain::LogOnAir(const std::string& onAir, const std::string& what) {
    LogEvent(CardOnAir() ? onAir : StoredNotOnAir(what));
}

void TfoMain::SwitchCarrier(bool on) {
    // Switching on first tunes to the card's last frequency with power 0.
    const auto opening = static_cast<uint32_t>(LastFrequency);
    if (on)
        card_->TransmitterOn();
    else
        card_->TransmitterOff();
    LogOnAir(CarrierSwitched(on), CarrierSet(on));
    if (!CardOnAir()) return;
    const auto off = static_cast<uint32_t>(((DividerHigh << DividerHighShift) | DividerLow) * DividerKHz);
    LogEvent(on ? TunedWhileOpening(opening) : TunedWhileOff(off));
}

void TfoMain::VrCheckLed1Change(TObject*) {
    if (VrCheckLed1->Checked())
        card_->SetStereo();
    else
        card_->SetMono();
    LogOnAir(StereoSwitched(VrCheckLed1->Checked()), StereoSwitched(VrCheckLed1->Checked()));
    WriteSetting("Stereo", SettingsSubKey, FlagText(VrCheckLed1->Checked()));
}
