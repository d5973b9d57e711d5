// The settings page: every field checked by its setting's rules before anything is
// applied, the stored settings shown, the changed ones sent through their setters,
// and, in the main window, the setters of the ways in with the page's menus.
#include "AppFixture.h"
#include "PortClient.h"
#include "SettingsPage.h"

#include "Menus.h"
#include "Testing.h"
#include "VrTrayIcon.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// Setters that record each call and answer with a reply the test chooses.
class TRecordingSetters : public TSettingsSetters {
public:
    TSettingsValues Stored;
    Lines Calls;
    std::string Reply = "+";

    TSettingsValues StoredSettings() override { return Stored; }
    std::string ChangeCommandPort(const std::string& text) override { return Record("CommandPort", text); }
    std::string ChangeCommandPortAllow(const std::string& text) override { return Record("CommandPortAllow", text); }
    std::string ChangeSerialPort(const std::string& text) override { return Record("SerialPort", text); }
    std::string ChangeNowPlayingFile(const std::string& text) override { return Record("NowPlayingFile", text); }
    std::string ChangeRadioTextFormat(const std::string& text) override { return Record("RadioTextFormat", text); }
    std::string ChangeRadioTextSkip(const std::string& text) override { return Record("RadioTextSkip", text); }
    std::string ChangeRadioTextIdle(const std::string& minutes, const std::string& text) override {
        return Record("RadioTextIdle", minutes + "," + text);
    }
    std::string ChangeCharacterSet(const std::string& text) override { return Record("CharacterSet", text); }
    std::string ChangeUecpSites(const std::string& text) override { return Record("UecpSites", text); }
    std::string ChangeUecpEncoders(const std::string& text) override { return Record("UecpEncoders", text); }
    std::string ChangeLogDays(const std::string& text) override { return Record("LogDays", text); }
    std::string LogFolder() override { return "C:\\Log"; }

private:
    std::string Record(const std::string& name, const std::string& text) {
        Calls.push_back(name + "=" + text);
        return Reply;
    }
};

const TSettingsValues StationSettings{
    "7000", "192.168.1.20", "COM2:19200", "C:\\Playout\\np.txt", "On air: {text}", "jingle|advert", "ROCK FM", "30",
    "RDS",  "1,2",          "3",          "30"};

TSettingsFields FineFields() { return FieldsOf(StationSettings); }

TEST(SettingsFields, EachFieldIsRefusedByItsSettingsOwnRulesAndNamed) {
    struct TCase {
        std::string TSettingsFields::*Field;
        std::string Typed;
        TSettingsField Named;
        std::string Reason;
    };
    const TCase cases[] = {
        {&TSettingsFields::CommandPort, "70000", TSettingsField::CommandPort, "COMMANDPORT must be 0..65535"},
        {&TSettingsFields::CommandPortAllow, "192.168.1.20, 10.0.0.0/33", TSettingsField::CommandPortAllow,
         "CommandPortAllow entry \"10.0.0.0/33\" is not an IPv4 address (192.168.1.20) or range (10.0.5.0/24)"},
        {&TSettingsFields::SerialPort, "LPT1", TSettingsField::SerialPort,
         "The serial line setting \"LPT1:19200\" is not valid: it must be COMn or COMn:speed, n 1..255, speed 1..4000000."},
        {&TSettingsFields::SerialSpeed, "300", TSettingsField::SerialSpeed, "the speed must be one of 1200..115200"},
        {&TSettingsFields::NowPlayingFile, "np.txt", TSettingsField::NowPlayingFile,
         "RTFILE must be a full path or empty"},
        {&TSettingsFields::RadioTextFormat, "{artist} - {album}", TSettingsField::RadioTextFormat,
         "RtFormat has an unknown field {album} (fields: {text}, {artist}, {title})"},
        {&TSettingsFields::RadioTextSkip, "jingle\tadvert", TSettingsField::RadioTextSkip,
         "RTSKIP holds a control character"},
        {&TSettingsFields::RadioTextIdleText, "ROCK\nFM", TSettingsField::RadioTextIdleText,
         "RTIDLE holds a control character"},
        {&TSettingsFields::RadioTextIdleMinutes, "1441", TSettingsField::RadioTextIdleMinutes,
         "the minutes must be 0..1440; empty: never"},
        // A comma would carry the rest of the minutes into the idle text.
        {&TSettingsFields::RadioTextIdleMinutes, "30,5", TSettingsField::RadioTextIdleMinutes,
         "the minutes must be 0..1440; empty: never"},
        {&TSettingsFields::RadioTextIdleMinutes, "5,", TSettingsField::RadioTextIdleMinutes,
         "the minutes must be 0..1440; empty: never"},
        {&TSettingsFields::CharacterSet, "UTF8", TSettingsField::CharacterSet, "CHARSET must be RDS or ANSI"},
        {&TSettingsFields::UecpSites, "1,1024", TSettingsField::UecpSites,
         "the sites must be addresses 1..1023, separated by commas"},
        {&TSettingsFields::UecpEncoders, "64", TSettingsField::UecpEncoders,
         "the encoders must be addresses 1..63, separated by commas"},
        {&TSettingsFields::LogDays, "ten", TSettingsField::LogDays, "'ten' is not a valid integer value"},
    };
    EXPECT_TRUE(CheckFields(FineFields()).empty());
    for (const TCase& check : cases) {
        TSettingsFields fields = FineFields();
        fields.*check.Field = check.Typed;
        const std::vector<TSettingsRefusal> refusals = CheckFields(fields);
        ASSERT_EQ(1u, refusals.size()) << check.Typed;
        EXPECT_EQ(check.Named, refusals[0].Field) << check.Typed;
        EXPECT_EQ(check.Reason, refusals[0].Reason);
    }
}

TEST(SettingsFields, OffAndEmptyFieldsAreTheSettingsOff) {
    TSettingsFields fields = FineFields();
    fields.CommandPort = "";
    fields.CommandPortAllow = " ";
    fields.RadioTextIdleMinutes = "";
    fields.SerialPort = "off";
    fields.NowPlayingFile = "";
    fields.UecpSites = "";
    fields.LogDays = "";
    EXPECT_TRUE(CheckFields(fields).empty());
    const TSettingsValues values = ValuesOf(fields);
    EXPECT_EQ("0", values.CommandPort);
    EXPECT_EQ("", values.SerialPort);
    EXPECT_EQ("", values.UecpSites);
    // A port without its speed is shown with the line's default one.
    EXPECT_EQ("9600", FieldsOf({"0", "", "COM3", "", "", "", "", "", "ANSI", "", "", ""}).SerialSpeed);
}

class SettingsPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        setters.Stored = StationSettings;
        page = std::make_unique<TfoSettings>(nullptr, setters);
        page->Present();
    }
    std::string Shown(TSettingsField field) const { return page->FieldControl(field)->Text(); }
    void Type(TSettingsField field, const std::string& text) { page->FieldControl(field)->SetText(text); }

    TRecordingSetters setters;
    std::unique_ptr<TfoSettings> page;
};

TEST_F(SettingsPageTest, ShowsTheStoredSettingsInTheirFields) {
    const std::pair<TSettingsField, std::string> expected[] = {
        {TSettingsField::CommandPort, "7000"},
        {TSettingsField::CommandPortAllow, "192.168.1.20"},
        {TSettingsField::SerialPort, "COM2"},
        {TSettingsField::SerialSpeed, "19200"},
        {TSettingsField::NowPlayingFile, "C:\\Playout\\np.txt"},
        {TSettingsField::RadioTextFormat, "On air: {text}"},
        {TSettingsField::RadioTextSkip, "jingle|advert"},
        {TSettingsField::RadioTextIdleText, "ROCK FM"},
        {TSettingsField::RadioTextIdleMinutes, "30"},
        {TSettingsField::CharacterSet, "RDS"},
        {TSettingsField::UecpSites, "1,2"},
        {TSettingsField::UecpEncoders, "3"},
        {TSettingsField::LogDays, "30"},
    };
    ASSERT_EQ(static_cast<size_t>(SettingsFieldCount), std::size(expected));
    for (const auto& [field, text] : expected) {
        EXPECT_EQ(text, Shown(field));
        EXPECT_EQ("", page->RefusalText(field));
    }
    EXPECT_EQ("SONDEL settings", page->Caption());
    EXPECT_LE(page->Width(), 640);
    EXPECT_LE(page->Height(), 480);
}

TEST_F(SettingsPageTest, ARefusedValueIsNamedNextToItsFieldAndNothingIsApplied) {
    Type(TSettingsField::CommandPort, "70000");
    Type(TSettingsField::UecpSites, "5");
    Type(TSettingsField::LogDays, "ten");
    Type(TSettingsField::CommandPortAllow, "192.168.1.300");
    Type(TSettingsField::RadioTextIdleMinutes, "ten");
    Type(TSettingsField::RadioTextIdleText, "NEWS FM");
    EXPECT_FALSE(page->Apply());
    EXPECT_TRUE(setters.Calls.empty());
    EXPECT_EQ("COMMANDPORT must be 0..65535", page->RefusalText(TSettingsField::CommandPort));
    EXPECT_EQ("CommandPortAllow entry \"192.168.1.300\" is not an IPv4 address (192.168.1.20) or range (10.0.5.0/24)",
              page->RefusalText(TSettingsField::CommandPortAllow));
    EXPECT_EQ("the minutes must be 0..1440; empty: never", page->RefusalText(TSettingsField::RadioTextIdleMinutes));
    EXPECT_EQ("", page->RefusalText(TSettingsField::RadioTextIdleText));
    EXPECT_EQ("'ten' is not a valid integer value", page->RefusalText(TSettingsField::LogDays));
    EXPECT_EQ("", page->RefusalText(TSettingsField::UecpSites));
    // What was typed stays, the fine value too.
    EXPECT_EQ("70000", Shown(TSettingsField::CommandPort));
    EXPECT_EQ("5", Shown(TSettingsField::UecpSites));
    EXPECT_TRUE(page->Visible());
}

TEST_F(SettingsPageTest, ApplySendsOnlyTheChangedSettingsThroughTheirSettersAndShowsTheirRefusals) {
    Type(TSettingsField::CommandPort, "");
    Type(TSettingsField::SerialPort, "COM4");
    Type(TSettingsField::UecpEncoders, "3,4");
    Type(TSettingsField::CommandPortAllow, "10.0.5.0/24");
    Type(TSettingsField::RadioTextFormat, "{title}");
    Type(TSettingsField::RadioTextSkip, "");
    // The idle text alone changed: its setter takes the minutes with it.
    Type(TSettingsField::RadioTextIdleText, "NEWS FM");
    EXPECT_TRUE(page->Apply());
    EXPECT_EQ((Lines{"CommandPort=0", "CommandPortAllow=10.0.5.0/24", "SerialPort=COM4:19200", "RadioTextFormat={title}",
                     "RadioTextSkip=", "RadioTextIdle=30,NEWS FM", "UecpEncoders=3,4"}),
              setters.Calls);

    setters.Calls.clear();
    setters.Reply = "- the port 7100 is in use";
    Type(TSettingsField::CommandPort, "7100");
    Type(TSettingsField::RadioTextIdleMinutes, "5");
    EXPECT_FALSE(page->Apply());
    EXPECT_EQ((Lines{"CommandPort=7100", "RadioTextIdle=5,NEWS FM"}), setters.Calls);
    EXPECT_EQ("the port 7100 is in use", page->RefusalText(TSettingsField::CommandPort));
    EXPECT_EQ("the port 7100 is in use", page->RefusalText(TSettingsField::RadioTextIdleMinutes));
    // Only the refused ones go again; the rest went through the first time.
    setters.Calls.clear();
    setters.Reply = "+";
    EXPECT_TRUE(page->Apply());
    EXPECT_EQ((Lines{"CommandPort=7100", "RadioTextIdle=5,NEWS FM"}), setters.Calls);
}

TEST_F(SettingsPageTest, EnterIsOkEscIsCancelAndOpeningAgainKeepsTheOnePage) {
    struct TCase {
        unsigned Key;
        Lines Calls;
    };
    const TCase cases[] = {{VK_ESCAPE, {}}, {VK_RETURN, {"LogDays=60"}}};
    for (const TCase& press : cases) {
        setters.Calls.clear();
        page->Present();
        ASSERT_TRUE(page->Visible());
        Type(TSettingsField::LogDays, "60");
        HWND field = page->FieldControl(TSettingsField::LogDays)->Handle();
        PostMessageA(field, WM_KEYDOWN, press.Key, 0);
        Testing::PumpUntil([this] { return !page->Visible(); });
        EXPECT_FALSE(page->Visible()) << press.Key;
        EXPECT_EQ(press.Calls, setters.Calls) << press.Key;
    }
}

class SettingsWindowTest : public AppTest {};

TEST_F(SettingsWindowTest, ThePageMovesTheCommandPortThroughTheWindowsSetterAndLogsItFromTheWindow) {
    TTestWinsock winsock;
    const uint16_t number = FreePort();
    StartReady();
    form->OpenSettingsPage();
    TfoSettings* page = form->SettingsPage();
    ASSERT_NE(nullptr, page);
    EXPECT_EQ("", page->FieldControl(TSettingsField::CommandPort)->Text());
    // No "LogDays" stored: the days the log keeps all the same.
    EXPECT_EQ("400", page->FieldControl(TSettingsField::LogDays)->Text());
    page->FieldControl(TSettingsField::CommandPort)->SetText(std::to_string(number));
    page->FieldControl(TSettingsField::UecpSites)->SetText("7");
    page->FieldControl(TSettingsField::RadioTextFormat)->SetText("On air: {title}");
    page->FieldControl(TSettingsField::RadioTextIdleMinutes)->SetText("5");
    page->FieldControl(TSettingsField::RadioTextIdleText)->SetText("ROCK FM");
    page->FieldControl(TSettingsField::LogDays)->SetText("30");
    ASSERT_TRUE(page->Apply());
    EXPECT_EQ(number, form->CommandPortNumber());
    EXPECT_EQ(std::to_string(number), Stored("CommandPort"));
    EXPECT_EQ("7", Stored("UecpSites"));
    EXPECT_EQ("On air: {title}", Stored("RtFormat"));
    EXPECT_EQ("5", Stored("RtIdleMinutes"));
    EXPECT_EQ("ROCK FM", Stored("RtIdleText"));
    EXPECT_EQ("30", Stored("LogDays"));
    Lines log = LogLines();
    ASSERT_GE(log.size(), 5u);
    log.erase(log.begin(), log.end() - 5);
    EXPECT_EQ((Lines{"window       Command port " + std::to_string(number) + " opened",
                     "window       RtFormat changed from '' to 'On air: {title}'",
                     "window       Radiotext idle after 5 minutes as 'ROCK FM'",
                     "window       UECP addresses set: sites \"7\", encoders \"\"",
                     "window       The log keeps 30 days of files from now on"}),
              log);
    // Moved again from the page, the old number closes at once.
    const uint16_t moved = FreePort();
    page->FieldControl(TSettingsField::CommandPort)->SetText(std::to_string(moved));
    ASSERT_TRUE(page->Apply());
    EXPECT_TRUE(TTcpClient(moved).Connected());
    EXPECT_FALSE(TTcpClient(number).Connected());
    // Opened again: the same page, forward.
    form->OpenSettingsPage();
    EXPECT_EQ(page, form->SettingsPage());
}

TEST_F(SettingsWindowTest, SettingsOpensThePageFromTheCommandLineOnlyAndTheTrayMenuHoldsItsFourItems) {
    StartReady();
    EXPECT_EQ((Lines{"- SETTINGS is given on the command line"}), SubmitAsClient(*ParseCommand("SETTINGS").Command,
                                                                                  TWayIn::Port, 5000));
    EXPECT_EQ(nullptr, form->SettingsPage());
    EXPECT_EQ((Lines{"+"}), SubmitAsClient(*ParseCommand("SETTINGS").Command, TWayIn::CommandLine, 5000));
    ASSERT_NE(nullptr, form->SettingsPage());
    EXPECT_TRUE(form->SettingsPage()->Visible());
    TPopupMenu* menu = form->TrayMenu();
    ASSERT_EQ(4, menu->Count());
    Lines captions;
    for (int i = 0; i < menu->Count(); ++i) captions.push_back(menu->Items(i)->Caption);
    EXPECT_EQ((Lines{"Show", "Settings...", "Open log folder", "Close"}), captions);
    EXPECT_EQ(menu, form->VrTrayIcon2->PopupMenu());
}

}  // namespace
