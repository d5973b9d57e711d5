// A form with one of each standard control and a transparent windowless widget over a
// gradient, to look at; it prints how much cheaper the widget's own repaint is than a
// repaint of its parent. Usage: toolkit_gallery [seconds to stay open, default 5]
#include "Application.h"
#include "Form.h"
#include "Menus.h"
#include "StdCtrls.h"
#include "SysUtils.h"
#include "VrControls.h"
#include "VrSysUtils.h"

#include <chrono>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

constexpr int kRepaints = 200;
constexpr int kMillisecondsPerSecond = 1000;

class TGalleryGradient : public TVrGraphicImageControl {
public:
    explicit TGalleryGradient(TComponent* owner) : TVrGraphicImageControl(owner) {
        SetControlStyle(ControlStyle() + TControlStyleFlag::csOpaque);
    }

protected:
    void Paint() override {
        ClearBitmapCanvas();
        FillBandGradient(BitmapCanvas(), ClientRect(), clRed, clFuchsia, kGradLeftRightHalf, 1);
        TVrGraphicImageControl::Paint();
    }
};

// A lime ring with a black centre; everything else shows the parent's background.
class TGalleryRing : public TVrGraphicImageControl {
public:
    explicit TGalleryRing(TComponent* owner) : TVrGraphicImageControl(owner) { SetTransparent(true); }

protected:
    void Paint() override {
        ClearBitmapCanvas();
        TCanvas& c = BitmapCanvas();
        c.Pen().SetColor(clLime);
        c.Pen().SetWidth(4);
        c.Brush().SetColor(clBlack);
        c.Ellipse(4, 4, Width() - 4, Height() - 4);
        TVrGraphicImageControl::Paint();
    }
};

class TfoGallery : public TForm {
public:
    explicit TfoGallery(TComponent* owner) : TForm(owner) {
        SetCaption("Toolkit gallery");
        SetBorderStyle(TFormBorderStyle::bsSingle);
        SetBorderIcons({TBorderIcon::biSystemMenu, TBorderIcon::biMinimize});
        SetBounds(40, 40, 400, 300);
        SetClientSize(386, 250);
        Gradient = new TGalleryGradient(this);
        Gradient->SetBounds(0, 0, 386, 250);
        Gradient->SetParent(this);
        Ring = new TGalleryRing(this);
        Ring->SetBounds(290, 150, 80, 80);
        Ring->SetParent(this);
        auto* label = new TLabel(this);
        label->SetBounds(16, 16, 0, 0);
        label->SetTransparent(true);
        label->Font().SetColor(clWhite);
        label->Font().SetStyle({TFontStyle::fsBold});
        label->SetCaption("Country Code:");
        label->SetParent(this);
        auto* button = new TButton(this);
        button->SetBounds(16, 48, 90, 25);
        button->SetCaption("Update RDS");
        button->SetParent(this);
        auto* edit = new TEdit(this);
        edit->SetBounds(120, 48, 120, 21);
        edit->SetText("PC RADIO");
        edit->SetColor(clBlack);
        edit->Font().SetColor(clLime);
        edit->SetParent(this);
        auto* pick = new TComboBox(this);
        pick->SetStyle(TComboBoxStyle::csDropDownList);
        pick->SetBounds(16, 90, 105, 21);
        for (const char* item : {"None", "News", "Pop M", "Rock M"}) pick->AddItem(item);
        pick->SetItemIndex(2);
        pick->SetColor(clBlack);
        pick->Font().SetColor(clLime);
        pick->SetParent(this);
        auto* editable = new TComboBox(this);
        editable->SetBounds(130, 90, 105, 21);
        editable->AddItem("87.500MHz");
        editable->SetText("100.000MHz");
        editable->SetParent(this);
        auto* colors = new TColorBox(this);
        colors->SetBounds(250, 90, 110, 21);
        colors->SetSelected(clTeal);
        colors->SetParent(this);
        auto* image = new TImage(this);
        image->SetBounds(16, 140, 96, 24);
        image->Picture().SetSize(96, 24);
        image->Picture().Canvas().Brush().SetColor(clWhite);
        image->Picture().Canvas().FillRect(Rect(0, 0, 96, 24));
        image->Picture().Canvas().Font().SetStyle({TFontStyle::fsBold});
        image->Picture().Canvas().TextOut(20, 5, "RDS");
        image->SetParent(this);
        auto* menu = new TPopupMenu(this);
        menu->Add("Restore");
        menu->Add("Exit", [](TObject*) { Application->Terminate(); });
        SetPopupMenu(menu);
    }
    TGalleryGradient* Gradient;
    TGalleryRing* Ring;
};

double SecondsFor(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRepaints; ++i) work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    Application->Initialize();
    Application->SetTitle("Toolkit gallery");
    TfoGallery* gallery = nullptr;
    Application->CreateForm(gallery);
    gallery->Show();
    Application->ProcessMessages();
    double own = SecondsFor([&] { gallery->Ring->UpdateControlCanvas(); });
    double parent = SecondsFor([&] {
        gallery->Ring->Invalidate();
        gallery->Gradient->Invalidate();
        gallery->Update();
    });
    std::printf("transparent widget: own repaint / repaint with its parent = %.3f (%d repaints each)\n",
                parent > 0 ? own / parent : 0.0, kRepaints);
    std::fflush(stdout);
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(seconds * kMillisecondsPerSecond);
    while (!Application->Terminated() && std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}
