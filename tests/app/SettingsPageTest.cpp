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
    std::string ChangeSerialPort(const std::string& text) override { return Record("SerialPort", text); }
    std::string ChangeNowPlayingFile(const std::string& text) override { return Record("NowPlayingFile", text); }
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

const TSettingsValues StationSettings{"7000", "COM2:19200", "C:\\Playout\\np.txt", "RDS", "1,2", "3", "30"};

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
        {&TSettingsFields::SerialPort, "LPT1", TSettingsField::SerialPort,
         "The serial line setting \"LPT1:19200\" is not valid: it must be COMn or COMn:speed, n 1..255, speed 1..4000000."},
        {&TSettingsFields::SerialSpeed, "300", TSettingsField::SerialSpeed, "the speed must be one of 1200..115200"},
        {&TSettingsFields::NowPlayingFile, "np.txt", TSettingsField::NowPlayingFile,
         "RTFILE must be a full path or empty"},
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
    EXPECT_EQ("9600", FieldsOf({"0", "COM3", "", "ANSI", "", "", ""}).SerialSpeed);
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
        {TSettingsField::CommandPort, "7000"},   {TSettingsField::SerialPort, "COM2"},
        {TSettingsField::SerialSpeed, "19200"},  {TSettingsField::NowPlayingFile, "C:\\Playout\\np.txt"},
        {TSettingsField::CharacterSet, "RDS"},   {TSettingsField::UecpSites, "1,2"},
        {TSettingsField::UecpEncoders, "3"},     {TSettingsField::LogDays, "30"},
    };
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
    EXPECT_FALSE(page->Apply());
    EXPECT_TRUE(setters.Calls.empty());
    EXPECT_EQ("COMMANDPORT must be 0..65535", page->RefusalText(TSettingsField::CommandPort));
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
    EXPECT_TRUE(page->Apply());
    EXPECT_EQ((Lines{"CommandPort=0", "SerialPort=COM4:19200", "UecpEncoders=3,4"}), setters.Calls);

    setters.Calls.clear();
    setters.Reply = "- the port 7100 is in use";
    Type(TSettingsField::CommandPort, "7100");
    EXPECT_FALSE(page->Apply());
    EXPECT_EQ((Lines{"CommandPort=7100"}), setters.Calls);
    EXPECT_EQ("the port 7100 is in use", page->RefusalText(TSettingsField::CommandPort));
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
    page->FieldControl(TSettingsField::CommandPort)->SetText(std::to_string(number));
    page->FieldControl(TSettingsField::UecpSites)->SetText("7");
    ASSERT_TRUE(page->Apply());
    EXPECT_EQ(number, form->CommandPortNumber());
    EXPECT_EQ(std::to_string(number), Stored("CommandPort"));
    EXPECT_EQ("7", Stored("UecpSites"));
    const Lines log = LogLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ("window       Command port " + std::to_string(number) + " opened", log[log.size() - 2]);
    EXPECT_EQ("window       UECP addresses set: sites \"7\", encoders \"\"", log.back());
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
