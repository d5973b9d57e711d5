// A form with windowless and windowed children: painting order and clipping, mouse routing
// with capture and enter/leave, and errors in handlers.
#include "Application.h"
#include "Controls.h"
#include "Form.h"
#include "SysUtils.h"
#include "Testing.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_events;

// A windowless box that fills itself (past its bounds, to show the clipping) and logs input.
class TBox : public TGraphicControl {
public:
    TBox(TComponent* owner, std::string name, TColor fill) : TGraphicControl(owner), name_(std::move(name)), fill_(fill) {}
    int Paints = 0;

protected:
    void Paint() override {
        ++Paints;
        Canvas().Brush().SetColor(fill_);
        Canvas().FillRect(Rect(-5, -5, Width() + 5, Height() + 5));
    }
    void MouseDown(TMouseButton, TShiftState, int x, int y) override {
        g_events.push_back(name_ + " down " + std::to_string(x) + "," + std::to_string(y));
    }
    void MouseMove(TShiftState, int x, int y) override {
        g_events.push_back(name_ + " move " + std::to_string(x) + "," + std::to_string(y));
    }
    void MouseUp(TMouseButton, TShiftState, int x, int y) override {
        g_events.push_back(name_ + " up " + std::to_string(x) + "," + std::to_string(y));
    }
    void CMMouseEnter() override { g_events.push_back(name_ + " enter"); }
    void CMMouseLeave() override { g_events.push_back(name_ + " leave"); }

private:
    std::string name_;
    TColor fill_;
};

class TPanelLike : public TCustomControl {
public:
    explicit TPanelLike(TComponent* owner) : TCustomControl(owner) { SetControlStyle(ControlStyle() + TControlStyleFlag::csOpaque); }

protected:
    void Paint() override {
        Canvas().Brush().SetColor(clYellow);
        Canvas().FillRect(ClientRect());
    }
};

class TfoTest : public TForm {
public:
    explicit TfoTest(TComponent* owner) : TForm(owner) {
        SetBorderStyle(TFormBorderStyle::bsSingle);
        SetClientSize(200, 150);
        SetColor(clWhite);
        Lower = new TBox(this, "lower", clRed);
        Lower->SetBounds(10, 10, 40, 40);
        Lower->SetParent(this);
        Upper = new TBox(this, "upper", clBlue);
        Upper->SetBounds(30, 30, 40, 40);
        Upper->SetParent(this);
        Panel = new TPanelLike(this);
        Panel->SetBounds(80, 0, 20, 20);
        Panel->SetParent(this);
    }
    TBox* Lower;
    TBox* Upper;
    TPanelLike* Panel;
};

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_events.clear();
        form = new TfoTest(nullptr);
    }
    void TearDown() override { delete form; }
    TfoTest* form;
};

}  // namespace

TEST_F(ControlsTest, WindowClassIsNamedAfterTheFormClass) {
    char name[64] = {};
    GetClassNameA(form->Handle(), name, sizeof name);
    EXPECT_STREQ(name, "TfoTest");
    EXPECT_EQ(form->ClientWidth(), 200);
    EXPECT_EQ(form->ClientHeight(), 150);
    EXPECT_TRUE(form->Panel->HandleAllocated());
    EXPECT_EQ(GetParent(form->Panel->Handle()), form->Handle());
}

TEST_F(ControlsTest, ChildrenPaintInCreationOrderClippedToTheirBounds) {
    TBitmap bitmap;
    bitmap.SetSize(100, 80);
    form->PaintTo(bitmap.Canvas(), 0, 0);
    EXPECT_EQ(bitmap.Pixel(9, 9), clWhite);    // the overdraw outside the box is clipped
    EXPECT_EQ(bitmap.Pixel(10, 10), clRed);
    EXPECT_EQ(bitmap.Pixel(29, 29), clRed);
    EXPECT_EQ(bitmap.Pixel(30, 30), clBlue);   // the later control lies on top
    EXPECT_EQ(bitmap.Pixel(49, 49), clBlue);
    EXPECT_EQ(bitmap.Pixel(70, 70), clWhite);
    EXPECT_EQ(bitmap.Pixel(85, 5), clYellow);  // the windowed child paints itself
}

TEST_F(ControlsTest, MouseGoesToTheTopmostControlInItsCoordinates) {
    Testing::MouseDown(form, 35, 35);
    Testing::MouseUp(form, 35, 35);
    Testing::MouseDown(form, 15, 15);
    EXPECT_EQ(g_events, (std::vector<std::string>{"upper down 5,5", "upper up 5,5", "lower down 5,5"}));
}

TEST_F(ControlsTest, CaptureKeepsTheMouseWithThePressedControl) {
    Testing::MouseDown(form->Lower, 5, 5);
    EXPECT_TRUE(form->Lower->MouseCapture());
    Testing::SendMouse(form, WM_MOUSEMOVE, 60, 60, MK_LBUTTON);  // over the upper box
    Testing::SendMouse(form, WM_LBUTTONUP, 90, 70, 0);
    EXPECT_FALSE(form->Lower->MouseCapture());
    std::vector<std::string> routed;
    for (const std::string& e : g_events)
        if (e.find(" move ") != std::string::npos || e.find(" up ") != std::string::npos ||
            e.find(" down ") != std::string::npos)
            routed.push_back(e);
    EXPECT_EQ(routed, (std::vector<std::string>{"lower down 5,5", "lower move 50,50", "lower up 80,60"}));
}

TEST_F(ControlsTest, EnterAndLeaveFollowTheCursor) {
    Testing::MouseMove(form, 15, 15);
    Testing::MouseMove(form, 16, 16);
    Testing::MouseMove(form, 35, 35);
    Testing::MouseMove(form, 75, 5);
    std::vector<std::string> crossings;
    for (const std::string& e : g_events)
        if (e.find("enter") != std::string::npos || e.find("leave") != std::string::npos) crossings.push_back(e);
    EXPECT_EQ(crossings, (std::vector<std::string>{"lower enter", "lower leave", "upper enter", "upper leave"}));
}

TEST_F(ControlsTest, HiddenOrDisabledControlsGetNoMouse) {
    form->Upper->SetVisible(false);
    form->Lower->SetEnabled(false);
    Testing::MouseDown(form, 35, 35);
    EXPECT_TRUE(g_events.empty());
}

TEST_F(ControlsTest, ClickNeedsPressAndReleaseInside) {
    int clicks = 0;
    form->Upper->OnClick = [&](TObject* sender) {
        EXPECT_EQ(sender, form->Upper);
        ++clicks;
    };
    Testing::Click(form->Upper, 3, 3);
    EXPECT_EQ(clicks, 1);
    Testing::MouseDown(form->Upper, 3, 3);
    Testing::SendMouse(form, WM_LBUTTONUP, 95, 75, 0);
    EXPECT_EQ(clicks, 1);
}

TEST_F(ControlsTest, ADoubleClickIsOneClickThenTheDoubleClick) {
    std::vector<std::string> log;
    auto watch = [&log](TControl* control, const std::string& name) {
        control->OnClick = [&log, name](TObject*) { log.push_back(name + " click"); };
        control->OnDblClick = [&log, name](TObject*) { log.push_back(name + " dblclick"); };
    };
    watch(form->Lower, "lower");
    watch(form->Upper, "upper");
    auto doubleClick = [](TControl* control) {
        Testing::Click(control, 3, 3);
        Testing::SendMouse(control, WM_LBUTTONDBLCLK, 3, 3, MK_LBUTTON);
        Testing::MouseUp(control, 3, 3);
    };
    doubleClick(form->Upper);
    EXPECT_EQ(log, (std::vector<std::string>{"upper click", "upper dblclick"}));
    EXPECT_EQ(g_events, (std::vector<std::string>{"upper down 3,3", "upper up 3,3", "upper down 3,3", "upper up 3,3"}));

    // Without double clicks the second press is neither a click nor a double click.
    log.clear();
    form->Lower->SetControlStyle(form->Lower->ControlStyle() - TControlStyleFlag::csDoubleClicks);
    doubleClick(form->Lower);
    EXPECT_EQ(log, (std::vector<std::string>{"lower click"}));
}

TEST_F(ControlsTest, ADoubleClickOnTheParentAfterAPressOnAnotherControlIsAFirstPress) {
    int upperClicks = 0, upperDoubleClicks = 0;
    form->Upper->OnClick = [&](TObject*) { ++upperClicks; };
    form->Upper->OnDblClick = [&](TObject*) { ++upperDoubleClicks; };
    Testing::Click(form->Lower, 3, 3);
    Testing::SendMouse(form->Upper, WM_LBUTTONDBLCLK, 3, 3, MK_LBUTTON);
    Testing::MouseUp(form->Upper, 3, 3);
    EXPECT_EQ(upperClicks, 1);
    EXPECT_EQ(upperDoubleClicks, 0);
}

TEST_F(ControlsTest, HandlerThatThrowsIsReportedAndTheNextMessageRuns) {
    Testing::TMessageBoxRecorder boxes;
    Application->SetTitle("SONDEL 2005 RDS");
    int clicks = 0;
    form->Upper->OnClick = [&](TObject*) {
        ++clicks;
        throw EConvertError("'empty' is not a valid integer value");
    };
    Testing::Click(form->Upper, 3, 3);
    Testing::Click(form->Upper, 3, 3);
    EXPECT_EQ(clicks, 2);
    ASSERT_EQ(boxes.Boxes.size(), 2u);
    EXPECT_EQ(boxes.Boxes[0].Text, "'empty' is not a valid integer value");
    EXPECT_EQ(boxes.Boxes[0].Caption, "SONDEL 2005 RDS");
    Testing::TErrorRecorder errors;
    Testing::Click(form->Upper, 3, 3);
    EXPECT_EQ(errors.Messages, (std::vector<std::string>{"'empty' is not a valid integer value"}));
    EXPECT_EQ(boxes.Boxes.size(), 2u);
}

TEST_F(ControlsTest, OpaqueRepaintPaintsOnlyTheControlAndThoseAbove) {
    form->Show();
    Testing::PumpMessages(50);
    form->Lower->Paints = 0;
    form->Upper->Paints = 0;
    form->Lower->SetControlStyle(form->Lower->ControlStyle() + TControlStyleFlag::csOpaque);
    form->Upper->Repaint();
    EXPECT_EQ(form->Upper->Paints, 0 + 1);
    EXPECT_EQ(form->Lower->Paints, 0 + 1);  // not opaque: the parent repainted beneath it
    form->Upper->SetControlStyle(form->Upper->ControlStyle() + TControlStyleFlag::csOpaque);
    form->Lower->Paints = 0;
    form->Upper->Paints = 0;
    form->Upper->Repaint();
    EXPECT_EQ(form->Upper->Paints, 1);
    EXPECT_EQ(form->Lower->Paints, 0);
}

TEST_F(ControlsTest, ParentColorAndFontFollowTheParent) {
    auto* box = new TBox(form, "box", clRed);
    box->SetParentColor(true);
    box->SetParent(form);
    EXPECT_EQ(box->Color(), clWhite);
    form->SetColor(clTeal);
    EXPECT_EQ(box->Color(), clTeal);
    form->Font().SetSize(12);
    EXPECT_EQ(box->Font().Height(), -16);
    EXPECT_TRUE(box->ParentFont());
    box->Font().SetSize(8);
    EXPECT_FALSE(box->ParentFont());
}

TEST_F(ControlsTest, TabMovesTheFocusInTabOrder) {
    auto* second = new TPanelLike(form);
    second->SetParent(form);
    form->Panel->SetTabStop(true);
    second->SetTabStop(true);
    form->Show();
    form->Panel->SetFocus();
    EXPECT_TRUE(form->Panel->Focused());
    form->SelectNext(form->Panel, true);
    EXPECT_TRUE(second->Focused());
    form->SelectNext(second, true);
    EXPECT_TRUE(form->Panel->Focused());
    EXPECT_EQ(second->TabOrder(), 1);
}

TEST_F(ControlsTest, ControlsCanBeSeenOnlyInsideTheClientAreaOfAShownWindow) {
    EXPECT_FALSE(form->Lower->CanBeSeen()) << "the window is not shown yet";
    form->Show();
    EXPECT_TRUE(form->Lower->CanBeSeen());
    EXPECT_TRUE(form->Panel->CanBeSeen());
    // One column inside the right edge still shows; none does not.
    form->Lower->SetLeft(form->ClientWidth() - 1);
    EXPECT_TRUE(form->Lower->CanBeSeen());
    form->Lower->SetLeft(form->ClientWidth());
    EXPECT_FALSE(form->Lower->CanBeSeen());
    form->Panel->SetTop(-form->Panel->Height());
    EXPECT_FALSE(form->Panel->CanBeSeen());
    form->Panel->SetTop(0);
    form->Upper->Hide();
    EXPECT_FALSE(form->Upper->CanBeSeen());
    ShowWindow(form->Handle(), SW_MINIMIZE);
    EXPECT_FALSE(form->Panel->CanBeSeen());
    EXPECT_FALSE(form->CanBeSeen());
    ShowWindow(form->Handle(), SW_RESTORE);
    EXPECT_TRUE(form->Panel->CanBeSeen());
    ShowWindow(form->Handle(), SW_HIDE);
    EXPECT_FALSE(form->Panel->CanBeSeen());
}

TEST_F(ControlsTest, TheSessionsEndClosesTheForm) {
    int closes = 0;
    form->OnClose = [&](TObject*, TCloseAction&) { ++closes; };
    form->Show();
    EXPECT_EQ(TRUE, SendMessageA(form->Handle(), WM_QUERYENDSESSION, 0, 0));
    SendMessageA(form->Handle(), WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(0, closes) << "another program refused the end";
    SendMessageA(form->Handle(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(1, closes);
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
}
