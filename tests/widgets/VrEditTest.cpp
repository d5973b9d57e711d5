// The string edit: its dark look, the whitelist of keys, the length limit, one line only,
// the alignment kept across re-creation, and its change and mouse events.
#include "ControlsTesting.h"
#include "Form.h"
#include "VrEdit.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

// The programme service name box: 113 x 16, no border, at most 8 characters.
class ServiceNameEdit : public ::testing::Test {
protected:
    ServiceNameEdit() : form(nullptr) {
        edit = new TVrStrEdit(&form);
        edit->SetParent(&form);
        edit->SetBounds(40, 152, 113, 16);
        edit->SetBorderStyle(TBorderStyle::bsNone);
        edit->SetMaxLength(8);
        edit->SetText("PC RADIO");
        edit->OnChange = [this](TObject*) { texts.push_back(edit->Text()); };
        form.HandleNeeded();
    }

    void Type(const std::string& keys) {
        for (char key : keys) TypeChar(*edit, key);
    }
    void CaretToEnd() { SendMessageA(edit->Handle(), EM_SETSEL, 64, 64); }

    TForm form;
    TVrStrEdit* edit;
    std::vector<std::string> texts;
};

TEST_F(ServiceNameEdit, LimeOnBlackLeftAlignedTabStop) {
    TVrStrEdit fresh(nullptr);
    EXPECT_EQ(fresh.Color(), clBlack);
    EXPECT_EQ(fresh.Font().Color(), clLime);
    EXPECT_EQ(fresh.Alignment(), TAlignment::taLeftJustify);
    EXPECT_TRUE(fresh.TabStop());
    EXPECT_TRUE(fresh.AutoSelect);
    EXPECT_TRUE(fresh.ValidKeys().empty());
    EXPECT_FALSE(fresh.ControlStyle().Contains(TControlStyleFlag::csSetCaption));
}

TEST_F(ServiceNameEdit, ANinthCharacterIsRefused) {
    CaretToEnd();
    Type("X");
    EXPECT_EQ(edit->Text(), "PC RADIO");
    Type("\b");
    EXPECT_EQ(edit->Text(), "PC RADI");
    Type("OS");
    EXPECT_EQ(edit->Text(), "PC RADIO");
    EXPECT_EQ(texts, (std::vector<std::string>{"PC RADI", "PC RADIO"}));
}

TEST_F(ServiceNameEdit, OnlyValidKeysAndBackspaceAreTyped) {
    edit->SetValidKeys("0123456789");
    EXPECT_EQ(edit->Text(), "");
    EXPECT_EQ(texts, (std::vector<std::string>{""}));
    Type("1a2");
    EXPECT_EQ(edit->Text(), "12");
    Type("\b");
    EXPECT_EQ(edit->Text(), "1");
    Type("x ");
    EXPECT_EQ(edit->Text(), "1");
    EXPECT_EQ(texts, (std::vector<std::string>{"", "1", "12", "1"}));
}

TEST_F(ServiceNameEdit, AssigningValidKeysWhileLoadingKeepsTheText) {
    edit->BeginLoading();
    edit->SetValidKeys("ABC");
    edit->EndLoading();
    EXPECT_EQ(edit->Text(), "PC RADIO");
    EXPECT_TRUE(texts.empty());
}

TEST_F(ServiceNameEdit, LineBreaksAreNotTyped) {
    edit->SetText("PC");
    CaretToEnd();
    Type("\r\nX");
    EXPECT_EQ(edit->Text(), "PCX");
}

TEST_F(ServiceNameEdit, AlignmentRecreatesTheWindowKeepingTheText) {
    HWND before = edit->Handle();
    EXPECT_EQ(GetWindowLongA(before, GWL_STYLE) & (ES_RIGHT | ES_CENTER), 0);
    edit->SetAlignment(TAlignment::taRightJustify);
    HWND after = edit->Handle();
    EXPECT_NE(GetWindowLongA(after, GWL_STYLE) & ES_RIGHT, 0);
    EXPECT_NE(GetWindowLongA(after, GWL_STYLE) & ES_MULTILINE, 0);
    EXPECT_EQ(edit->Text(), "PC RADIO");
    edit->SetAlignment(TAlignment::taCenter);
    EXPECT_NE(GetWindowLongA(edit->Handle(), GWL_STYLE) & ES_CENTER, 0);
    EXPECT_EQ(edit->Text(), "PC RADIO");
}

TEST_F(ServiceNameEdit, MouseEnterAndLeaveAreReported) {
    std::vector<std::string> events;
    edit->OnMouseEnter = [&](TObject* sender) { events.push_back(sender == edit ? "enter" : "?"); };
    edit->OnMouseLeave = [&](TObject* sender) { events.push_back(sender == edit ? "leave" : "?"); };
    edit->Perform(Msg::MouseEnter);
    edit->Perform(Msg::MouseLeave);
    EXPECT_EQ(events, (std::vector<std::string>{"enter", "leave"}));
}

}  // namespace
