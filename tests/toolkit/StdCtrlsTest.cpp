// The standard controls on a form: label, button, edit, lists, colour box, picture.
#include "Form.h"
#include "Registry.h"
#include "Shell.h"
#include "StdCtrls.h"
#include "Testing.h"

#include "Win.h"

#include <gtest/gtest.h>

namespace {

class StdCtrlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = new TForm(nullptr);
        form->SetClientSize(300, 200);
        form->SetColor(clNavy);
    }
    void TearDown() override { delete form; }
    template <typename T>
    T* Place(int left, int top) {
        auto* control = new T(form);
        control->SetLeft(left);
        control->SetTop(top);
        control->SetParent(form);
        return control;
    }
    TForm* form;
};

}  // namespace

TEST_F(StdCtrlsTest, TransparentBoldLabelShowsOnlyItsText) {
    auto* label = Place<TLabel>(10, 10);
    label->SetTransparent(true);
    label->Font().SetColor(clWhite);
    label->Font().SetStyle({TFontStyle::fsBold});
    label->SetCaption("PS:");
    TBitmap measure(1, 1);
    measure.Canvas().Font().Assign(label->Font());
    EXPECT_EQ(label->Width(), measure.Canvas().TextWidth("PS:"));
    EXPECT_EQ(label->Height(), measure.Canvas().TextHeight("PS:"));
    TBitmap bitmap(300, 200);
    form->PaintTo(bitmap.Canvas(), 0, 0);
    int white = 0, other = 0;
    for (int y = label->Top(); y < label->Top() + label->Height(); ++y)
        for (int x = label->Left(); x < label->Left() + label->Width(); ++x) {
            TColor p = bitmap.Pixel(x, y);
            if (p == clWhite) ++white;
            else if (p != clNavy) ++other;
        }
    EXPECT_GT(white, 8);
    EXPECT_EQ(other, 0);
}

TEST_F(StdCtrlsTest, ButtonClickFiresOnce) {
    auto* button = Place<TButton>(10, 40);
    button->SetCaption("Update RDS");
    int clicks = 0;
    button->OnClick = [&](TObject*) { ++clicks; };
    SendMessageA(button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button->Text(), "Update RDS");
}

TEST_F(StdCtrlsTest, EditReportsTypedAndAssignedTextAndHonoursMaxLength) {
    auto* edit = Place<TEdit>(10, 80);
    edit->SetMaxLength(3);
    std::vector<std::string> seen;
    edit->OnChange = [&](TObject*) { seen.push_back(edit->Text()); };
    edit->SetText("ab");
    SendMessageA(edit->Handle(), EM_SETSEL, 2, 2);
    Testing::KeyPress(edit, 'c');
    Testing::KeyPress(edit, 'd');
    EXPECT_EQ(edit->Text(), "abc");
    EXPECT_EQ(seen, (std::vector<std::string>{"ab", "abc"}));
    edit->SetFocus();
    EXPECT_EQ(edit->SelLength(), 3);  // entering by keyboard selects everything
}

TEST_F(StdCtrlsTest, EditKeepsItsTextWhenTheWindowIsMadeAgain) {
    auto* edit = Place<TEdit>(10, 80);
    edit->SetText("PC RADIO");
    edit->SetBorderStyle(TBorderStyle::bsNone);
    EXPECT_EQ(edit->Text(), "PC RADIO");
    EXPECT_FALSE(GetWindowLongA(edit->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

TEST_F(StdCtrlsTest, ListSelectsByIndexWithoutChangeAndReportsUserChoice) {
    auto* list = Place<TComboBox>(10, 110);
    list->SetStyle(TComboBoxStyle::csDropDownList);
    int changes = 0;
    list->OnChange = [&](TObject*) { ++changes; };
    for (const char* item : {"0", "1"}) list->AddItem(item);
    list->SetItemIndex(1);
    EXPECT_EQ(list->ItemIndex(), 1);
    list->SetItemIndex(40);
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_EQ(changes, 0);
    list->SetItemIndex(0);
    Testing::KeyDown(list, VK_DOWN);
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(changes, 1);
    list->ClearItems();
    EXPECT_EQ(list->ItemCount(), 0);
}

TEST_F(StdCtrlsTest, ItemsAddedBeforeTheWindowExistAreThere) {
    auto* list = new TComboBox(form);
    list->AddItem("Pop");
    list->AddItem("Rock");
    list->SetItemIndex(1);
    list->SetParent(form);
    EXPECT_EQ(SendMessageA(list->Handle(), CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(list->Item(0), "Pop");
}

TEST_F(StdCtrlsTest, ColorBoxListsTheSixteenColoursByName) {
    auto* box = Place<TColorBox>(100, 10);
    box->SetBounds(100, 10, 120, 20);
    ASSERT_EQ(box->ItemCount(), 16);
    EXPECT_EQ(box->Item(4), "Navy");
    EXPECT_EQ(box->Colors(6), clTeal);
    int changes = 0;
    box->OnChange = [&](TObject*) { ++changes; };
    box->SetSelected(clNavy);
    EXPECT_EQ(box->Selected(), clNavy);
    box->SetSelected(RGBColor(1, 2, 3));
    EXPECT_EQ(box->Selected(), clNone);
    EXPECT_EQ(changes, 0);
    box->SetSelected(clRed);
    form->Show();
    Testing::PumpMessages(30);
    TBitmap bitmap(300, 200);
    HDC dc = GetDC(form->Handle());
    BitBlt(bitmap.Canvas().Handle(), 0, 0, 300, 200, dc, 0, 0, SRCCOPY);
    ReleaseDC(form->Handle(), dc);
    int red = 0;
    for (int y = 10; y < 30; ++y)
        for (int x = 100; x < 220; ++x)
            if (bitmap.Pixel(x, y) == clRed) ++red;
    EXPECT_GT(red, 20);  // the swatch of the selected colour
}

TEST_F(StdCtrlsTest, ColorBoxKeepsAHeightLowerThanItsItems) {
    auto* box = Place<TColorBox>(10, 10);
    box->SetBounds(10, 10, 30, 16);
    form->Show();
    Testing::PumpMessages(30);
    box->SetBounds(10, 10, 30, 16);
    RECT r;
    GetWindowRect(box->Handle(), &r);
    EXPECT_EQ(16, r.bottom - r.top);
    EXPECT_EQ(16, box->Height());
}

TEST_F(StdCtrlsTest, PictureDrawsItsBitmap) {
    auto* image = Place<TImage>(200, 150);
    image->SetBounds(200, 150, 4, 4);
    image->Picture().SetSize(2, 2);
    image->Picture().Canvas().Brush().SetColor(clYellow);
    image->Picture().Canvas().FillRect(Rect(0, 0, 2, 2));
    TBitmap bitmap(300, 200);
    form->PaintTo(bitmap.Canvas(), 0, 0);
    EXPECT_EQ(bitmap.Pixel(201, 151), clYellow);
    EXPECT_EQ(bitmap.Pixel(202, 152), clNavy);
    image->SetStretch(true);
    form->PaintTo(bitmap.Canvas(), 0, 0);
    EXPECT_EQ(bitmap.Pixel(203, 153), clYellow);
}

TEST(Registry, WritesReadsAndDeletesUnderTheIsolatedMachineKey) {
    Testing::TRegistryOverride isolated;
    TRegistry registry;
    registry.SetRootKey(TRegistryRoot::rkLocalMachine);
    EXPECT_FALSE(registry.OpenKey("\\Software\\Dravik Electronics\\SONDEL ULTRA\\v2.0\\", false));
    EXPECT_TRUE(registry.OpenKey("\\Software\\Dravik Electronics\\SONDEL ULTRA\\v2.0\\", true));
    EXPECT_EQ(registry.CurrentPath(), "Software\\Dravik Electronics\\SONDEL ULTRA\\v2.0");
    EXPECT_FALSE(registry.ValueExists("Freq"));
    EXPECT_EQ(registry.ReadString("Freq"), "");
    registry.WriteString("Freq", "101.300MHz");
    EXPECT_TRUE(registry.ValueExists("Freq"));
    registry.CloseKey();

    TRegistry reader;
    reader.SetRootKey(TRegistryRoot::rkLocalMachine);
    ASSERT_TRUE(reader.OpenKey("Software\\Dravik Electronics\\SONDEL ULTRA\\v2.0", false));
    EXPECT_EQ(reader.ReadString("Freq"), "101.300MHz");
    EXPECT_TRUE(reader.DeleteValue("Freq"));
    EXPECT_FALSE(reader.DeleteValue("Freq"));
    EXPECT_TRUE(reader.KeyExists("\\Software\\Dravik Electronics"));

    // The real machine key was not touched: the value lives in the scratch key.
    HKEY scratch = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (isolated.ScratchPath() + "\\Software\\Dravik Electronics").c_str(), 0,
                            KEY_READ, &scratch),
              ERROR_SUCCESS);
    RegCloseKey(scratch);
}

TEST(Registry, RefusedWritesRaiseTheRegistryError) {
    Testing::TRegistryOverride isolated;
    TRegistry registry(RegistryAccess::Read);
    registry.SetRootKey(TRegistryRoot::rkLocalMachine);
    ASSERT_TRUE(registry.OpenKey("\\Software\\Probe", true));
    try {
        registry.WriteString("Power", "7");
        FAIL();
    } catch (const ERegistryException& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Power'");
    }
    TRegistry closed;
    EXPECT_THROW(closed.WriteString("Power", "7"), ERegistryException);
    try {
        closed.CreateKey("\\bad\\\\\\");
    } catch (const ERegistryException& error) {
        EXPECT_STREQ(error.what(), "Failed to create key \\bad\\\\\\");
    }
}

TEST(Shell, ExecuteGoesThroughTheHook) {
    std::string seen;
    SetShellExecuteHook([&](const std::string& operation, const std::string& file, const std::string& parameters,
                            const std::string& directory, int show) {
        seen = operation + "|" + file + "|" + parameters + "|" + directory + "|" + std::to_string(show);
        return std::intptr_t{42};
    });
    EXPECT_EQ(ShellExecute(nullptr, "open", "http://example.invalid/", "", "", ShowCommand::Normal), 42);
    SetShellExecuteHook(nullptr);
    EXPECT_EQ(seen, "open|http://example.invalid/|||1");
    Testing::TMessageBoxRecorder boxes;
    Application->SetTitle("SONDEL 2005 RDS");
    ShowMessage("Unable to open Sondel card.");
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(boxes.Boxes[0].Caption, "SONDEL 2005 RDS");
}

TEST(Mnemonics, TheLetterAfterTheAmpersandInEitherCase) {
    struct TCase {
        char Key;
        const char* Caption;
        bool Accelerator;
    };
    const TCase cases[] = {
        {'p', "Command &port:", true}, {'P', "Command &port:", true}, {'c', "Command &port:", false},
        {'b', "Rock && &Blues", true}, {'&', "Rock && Blues", false}, {'x', "Trailing &", false},
    };
    for (const TCase& check : cases) EXPECT_EQ(check.Accelerator, IsAccelerator(check.Key, check.Caption)) << check.Caption;
}

TEST_F(StdCtrlsTest, MnemonicsFocusALabelsControlAndClickAButtonAndSystemMenuItemsRunTheirHandler) {
    auto* edit = Place<TEdit>(80, 10);
    auto* label = Place<TLabel>(10, 10);
    label->SetCaption("&Port:");
    label->FocusControl = edit;
    auto* button = Place<TButton>(10, 50);
    button->SetCaption("&Apply");
    int clicks = 0;
    button->OnClick = [&clicks](TObject*) { ++clicks; };
    form->Show();
    button->SetFocus();
    SendMessageA(button->Handle(), WM_SYSCHAR, 'p', 0);
    EXPECT_TRUE(edit->Focused());
    SendMessageA(edit->Handle(), WM_SYSCHAR, 'a', 0);
    EXPECT_EQ(1, clicks);

    int opened = 0;
    form->AddSystemMenuItem("Settings...", [&opened](TObject*) { ++opened; });
    HMENU menu = GetSystemMenu(form->Handle(), FALSE);
    const int last = GetMenuItemCount(menu) - 1;
    char caption[32] = {};
    GetMenuStringA(menu, last, caption, sizeof caption, MF_BYPOSITION);
    EXPECT_STREQ("Settings...", caption);
    SendMessageA(form->Handle(), WM_SYSCOMMAND, GetMenuItemID(menu, last), 0);
    EXPECT_EQ(1, opened);
}

TEST(Registry, ReadsTheTextOfEveryStringValueOfAKey) {
    Testing::TRegistryOverride isolated;
    TRegistry registry;
    registry.SetRootKey(TRegistryRoot::rkLocalMachine);
    ASSERT_TRUE(registry.OpenKey("\\HARDWARE\\DEVICEMAP\\SERIALCOMM", true));
    registry.WriteString("\\Device\\Serial0", "COM1");
    registry.WriteString("\\Device\\VCP0", "COM7");
    EXPECT_EQ((std::vector<std::string>{"COM1", "COM7"}), registry.ReadStringValues());
}
