// The widget bases: loading, AdjustBounds, hooks, the off-screen paint cycles with the
// transparent background capture, the shared component's links, the hand cursor.
#include "Form.h"
#include "Screen.h"
#include "SysUtils.h"
#include "Testing.h"
#include "VrControls.h"
#include "VrSysUtils.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

namespace {

// A windowless test widget: a 2 x 2 lime square at (1, 1) on its background.
class TProbe : public TVrGraphicImageControl {
public:
    explicit TProbe(TComponent* owner) : TVrGraphicImageControl(owner) {
        SetControlStyle(ControlStyle() + TControlStyleFlag::csOpaque);
        SetBounds(0, 0, 10, 10);
    }
    int Paints = 0;
    int NaturalWidth = 0;
    bool FailPaint = false;
    void SetBounds(int left, int top, int width, int height) override {
        TVrGraphicImageControl::SetBounds(left, top, NaturalWidth ? NaturalWidth : width, height);
    }

protected:
    void Paint() override {
        ++Paints;
        ClearBitmapCanvas();
        BitmapCanvas().Brush().SetColor(clLime);
        BitmapCanvas().FillRect(Rect(1, 1, 3, 3));
        if (FailPaint) throw Exception("paint failed");
        TVrGraphicImageControl::Paint();
    }
};

// The parent: paints its client in stripes and counts its paints.
class TfoProbe : public TForm {
public:
    explicit TfoProbe(TComponent* owner) : TForm(owner) {
        SetBorderStyle(TFormBorderStyle::bsSingle);
        SetClientSize(200, 150);
        OnPaint = [this](TObject*) {
            ++Paints;
            Canvas().Brush().SetColor(StripeColor);
            Canvas().FillRect(Rect(0, 0, 200, 150));
        };
        Probe = new TProbe(this);
        Probe->SetBounds(20, 20, 10, 10);
        Probe->SetParent(this);
    }
    int Paints = 0;
    TColor StripeColor = clNavy;
    TProbe* Probe;
};

class TCustomProbe : public TVrCustomImageControl {
public:
    explicit TCustomProbe(TComponent* owner) : TVrCustomImageControl(owner) {
        SetControlStyle(ControlStyle() + TControlStyleFlag::csOpaque);
        SetColor(clMaroon);
        SetBounds(0, 0, 6, 4);
    }

protected:
    void Paint() override {
        ClearBitmapCanvas();
        BitmapCanvas().SetPixel(5, 3, clAqua);
        TVrCustomImageControl::Paint();
    }
};

}  // namespace

TEST(VrBases, VersionIsStampedOnEveryBase) {
    TVrComponent component(nullptr);
    TProbe probe(nullptr);
    TCustomProbe custom(nullptr);
    EXPECT_EQ(component.Version, "1.3");
    EXPECT_EQ(probe.Version, "1.3");
    EXPECT_EQ(custom.Version, "1.3");
}

TEST(VrBases, HandCursorIsScreenCursor99) {
    TProbe probe(nullptr);
    EXPECT_TRUE(Screen->HasCursor(crVrHandPoint));
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(Screen->Cursors(crVrHandPoint), &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 6u);
    EXPECT_EQ(info.yHotspot, 0u);
    BITMAP mask{};
    GetObjectA(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, 32);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
}

TEST(VrBases, LoadingPaintsNothingUntilLoaded) {
    TfoProbe form(nullptr);
    form.Show();
    Testing::PumpMessages(30);
    form.BeginLoading();
    form.Probe->Paints = 0;
    form.Probe->UpdateControlCanvas();
    form.Probe->AdjustBounds();
    EXPECT_EQ(form.Probe->Paints, 0);
    form.EndLoading();
    form.Probe->UpdateControlCanvas();
    EXPECT_EQ(form.Probe->Paints, 1);
}

TEST(VrBases, AdjustBoundsRepaintsOnceWhenTheSizeStays) {
    TfoProbe form(nullptr);
    form.Show();
    Testing::PumpMessages(30);
    form.Probe->Paints = 0;
    form.Probe->AdjustBounds();
    Testing::PumpMessages(30);
    EXPECT_EQ(form.Probe->Paints, 1);
    form.Probe->NaturalWidth = 14;
    form.Probe->Paints = 0;
    form.Probe->AdjustBounds();
    EXPECT_EQ(form.Probe->Width(), 14);
    EXPECT_EQ(form.Probe->Paints, 0);  // the resize repaints, later
    Testing::PumpMessages(30);
    EXPECT_EQ(form.Probe->Paints, 1);
}

TEST(VrBases, AdjustControlSizeOnlyWithAutoSize) {
    TProbe probe(nullptr);
    probe.NaturalWidth = 30;
    probe.AdjustControlSize();
    EXPECT_EQ(probe.Width(), 10);
    probe.SetAutoSize(true);
    probe.SetAlign(TAlign::alClient);
    probe.AdjustControlSize();
    EXPECT_EQ(probe.Width(), 10);
    probe.SetAlign(TAlign::alTop);
    probe.AdjustControlSize();
    EXPECT_EQ(probe.Width(), 30);
}

TEST(VrBases, HooksCallTheirCallbacksWithTheControl) {
    TfoProbe form(nullptr);
    std::vector<std::string> seen;
    auto record = [&](const char* what) {
        return [&seen, &form, what](TObject* sender) {
            EXPECT_EQ(sender, form.Probe);
            seen.push_back(what);
        };
    };
    form.Probe->OnMouseEnter = record("enter");
    form.Probe->OnMouseLeave = record("leave");
    form.Probe->OnFontChanged = record("font");
    form.Probe->OnTextChanged = record("text");
    Testing::MouseMove(form.Probe, 2, 2);
    Testing::MouseMove(&form, 150, 100);
    form.Probe->Font().SetSize(14);
    form.Probe->SetText("x");
    EXPECT_EQ(seen, (std::vector<std::string>{"enter", "leave", "font", "text"}));
}

TEST(VrBases, OpaqueImageControlFillsWithColorAndCopiesInOneBlock) {
    TfoProbe form(nullptr);
    form.Probe->SetColor(clYellow);
    TBitmap bitmap;
    Testing::PaintToBitmap(form.Probe, bitmap);
    EXPECT_EQ(bitmap.Pixel(0, 0), clYellow);
    EXPECT_EQ(bitmap.Pixel(1, 1), clLime);
    EXPECT_EQ(bitmap.Pixel(9, 9), clYellow);
    EXPECT_EQ(form.Probe->BitmapImage().Width(), 10);
}

TEST(VrBases, FailingPaintStillDetachesAndUnlocks) {
    TfoProbe form(nullptr);
    form.Probe->FailPaint = true;
    TBitmap bitmap(10, 10);
    EXPECT_THROW(form.Probe->PaintTo(bitmap.Canvas(), 0, 0), Exception);
    EXPECT_EQ(form.Probe->Canvas().LockCount(), 0);
    EXPECT_EQ(form.Probe->BitmapCanvas().LockCount(), 0);
    EXPECT_FALSE(form.Probe->Canvas().HandleAllocated());
}

TEST(VrBases, TransparentWidgetCapturesTheParentOnceAndReusesIt) {
    TfoProbe form(nullptr);
    form.Probe->SetTransparent(true);
    EXPECT_FALSE(form.Probe->ControlStyle().Contains(TControlStyleFlag::csOpaque));
    form.Show();
    Testing::PumpMessages(50);
    TBitmap screen(200, 150);
    auto grab = [&] {
        HDC dc = GetDC(form.Handle());
        BitBlt(screen.Canvas().Handle(), 0, 0, 200, 150, dc, 0, 0, SRCCOPY);
        ReleaseDC(form.Handle(), dc);
    };
    grab();
    EXPECT_EQ(screen.Pixel(20, 20), clNavy);  // the parent's paint shows through
    EXPECT_EQ(screen.Pixel(21, 21), clLime);
    EXPECT_TRUE(form.Probe->NeedsRecapture());

    // The widget asks for its own repaint: the parent is not painted, the snapshot is reused.
    int parentPaints = form.Paints;
    form.StripeColor = clTeal;
    form.Probe->UpdateControlCanvas();
    EXPECT_EQ(form.Paints, parentPaints);
    grab();
    EXPECT_EQ(screen.Pixel(20, 20), clNavy);
    EXPECT_EQ(screen.Pixel(21, 21), clLime);

    // The parent is repainted from outside: the background is captured again.
    form.Invalidate();
    form.Update();
    EXPECT_GT(form.Paints, parentPaints);
    grab();
    EXPECT_EQ(screen.Pixel(20, 20), clTeal);
    EXPECT_EQ(screen.Pixel(21, 21), clLime);
}

TEST(VrBases, CustomImageControlPaintsItsImageOnItsWindow) {
    TForm form(nullptr);
    auto* custom = new TCustomProbe(&form);
    custom->SetParent(&form);
    TBitmap bitmap;
    Testing::PaintToBitmap(custom, bitmap);
    EXPECT_EQ(bitmap.Pixel(0, 0), clMaroon);
    EXPECT_EQ(bitmap.Pixel(5, 3), clAqua);
}

TEST(VrSharedComponent, LinksRegisterNotifyAndUnregister) {
    TVrSharedComponent shared(nullptr);
    std::vector<int> calls;
    TVrChangeLink first;
    TVrChangeLink second;
    first.OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, &shared);
        calls.push_back(1);
    };
    second.OnChange = [&](TObject*) { calls.push_back(2); };
    shared.NotifyClients();
    EXPECT_TRUE(calls.empty());
    shared.InsertLink(&first);
    shared.InsertLink(&second);
    EXPECT_EQ(first.Sender(), &shared);
    shared.NotifyClients();
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));
    shared.RemoveLink(&first);
    shared.RemoveLink(&first);
    EXPECT_EQ(first.Sender(), nullptr);
    EXPECT_EQ(shared.LinkCount(), 1);
}

TEST(VrSharedComponent, DestroyingTheComponentEmptiesEveryLinksSender) {
    auto* shared = new TVrSharedComponent(nullptr);
    auto* first = new TVrChangeLink;
    auto* second = new TVrChangeLink;
    shared->InsertLink(first);
    shared->InsertLink(second);
    delete shared;
    EXPECT_EQ(first->Sender(), nullptr);
    EXPECT_EQ(second->Sender(), nullptr);
    delete first;
    delete second;
}

TEST(VrSharedComponent, DestroyingALinkFirstRemovesIt) {
    TVrSharedComponent shared(nullptr);
    auto* link = new TVrChangeLink;
    shared.InsertLink(link);
    delete link;
    EXPECT_EQ(shared.LinkCount(), 0);
    shared.NotifyClients();
}

TEST(VrSharedComponent, HandlerRemovingLinksDoesNotRunPastTheList) {
    TVrSharedComponent shared(nullptr);
    TVrChangeLink a, b, c;
    int calls = 0;
    a.OnChange = [&](TObject*) {
        ++calls;
        shared.RemoveLink(&b);
        shared.RemoveLink(&c);
    };
    b.OnChange = c.OnChange = [&](TObject*) { ++calls; };
    shared.InsertLink(&a);
    shared.InsertLink(&b);
    shared.InsertLink(&c);
    shared.NotifyClients();
    EXPECT_EQ(calls, 1);
}

TEST(VrSharedComponent, ALinkMovesBetweenComponentsAndIsListedOnce) {
    auto* first = new TVrSharedComponent(nullptr);
    TVrSharedComponent second(nullptr);
    TVrChangeLink link;
    first->InsertLink(&link);
    first->InsertLink(&link);
    EXPECT_EQ(first->LinkCount(), 1);
    second.InsertLink(&link);
    EXPECT_EQ(first->LinkCount(), 0);
    delete first;
    EXPECT_EQ(link.Sender(), &second);
}

TEST(VrBases, PaintingAWidgetAThousandTimesKeepsTheGdiCountFlat) {
    TfoProbe form(nullptr);
    form.Probe->SetTransparent(true);
    form.Show();
    Testing::PumpMessages(20);
    TBitmap bitmap(200, 150);
    auto paint = [&] {
        for (int i = 0; i < 1000; ++i) {
            form.Probe->SetColor(RGBColor(i & 0xFF, 0, 0));
            if (i % 2) form.Probe->UpdateControlCanvas();
            else form.PaintTo(bitmap.Canvas(), 0, 0);
        }
    };
    paint();
    int before = Testing::GdiObjectCount();
    EXPECT_GT(before, 0);
    paint();
    EXPECT_EQ(Testing::GdiObjectCount(), before);
}
