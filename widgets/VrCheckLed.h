// The check LED: a two-state toggle drawn as a small sunken lamp beside a caption,
// dim when off, lit when on, checkered while the mouse hovers over an off lamp.
#pragma once

#include "VrClasses.h"
#include "VrControls.h"
#include "VrSysUtils.h"

#include <memory>

enum class TVrCheckLedStyle { csRadioButton, csCheckbox };

class TVrCheckLed : public TVrCustomImageControl {
public:
    // Lamp sizes a lamp may have.
    static constexpr int kMinCheckSize = 10;
    static constexpr int kMaxCheckSize = 40;

    explicit TVrCheckLed(TComponent* owner);
    ~TVrCheckLed() override;

    int CheckWidth() const { return checkWidth_; }
    void SetCheckWidth(int width);
    int CheckHeight() const { return checkHeight_; }
    void SetCheckHeight(int height);
    bool Checked() const { return checked_; }
    // A new value notifies OnChange before returning; radio LEDs switch their siblings off first.
    void SetChecked(bool checked);
    TVrImageTextLayout Layout() const { return layout_; }
    void SetLayout(TVrImageTextLayout layout);
    // Distance of the lamp from the edge; -1 centres lamp and caption together.
    int Margin() const { return margin_; }
    void SetMargin(int margin);
    int Spacing() const { return spacing_; }
    void SetSpacing(int spacing);
    TVrPalette& Palette() { return *palette_; }
    void SetPalette(const TVrPalette& palette) { palette_->Assign(palette); }
    TVrCheckLedStyle CheckStyle = TVrCheckLedStyle::csCheckbox;
    TNotifyEvent OnChange;

    // Where the lamp and the caption lie, in client coordinates.
    TRect LedRect() const { return ledRect_; }
    TRect CaptionRect() const { return captionRect_; }

protected:
    void Paint() override;
    void DoEnter() override;
    void DoExit() override;
    void CMEnabledChanged() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseLeave() override;
    void FontChanged() override;
    void TextChanged() override;
    void CreateWnd() override;
    void Resize() override;
    void KeyPress(char& key) override;
    bool CMDialogChar(char key) override;
    virtual void Change();

private:
    enum TLedState { kOff = 0, kHover = 1, kOn = 2 };
    void UpdateLayout(bool repaint);
    void DrawLed(TLedState state, TRect rect, TCanvas& canvas);
    void DrawFocusFrame();
    bool IsAccelerator(char key) const;

    std::unique_ptr<TVrPalette> palette_;
    int checkWidth_ = 20;
    int checkHeight_ = 13;
    bool checked_ = false;
    TVrImageTextLayout layout_ = TVrImageTextLayout::ImageLeft;
    int margin_ = -1;
    int spacing_ = 5;
    TRect ledRect_;
    TRect captionRect_;
    bool hovering_ = false;
    bool pressing_ = false;
    bool checkedBeforePress_ = false;
};
