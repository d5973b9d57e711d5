// TVrArrow: a clickable arrow lamp pointing left, right, up or down, dim or lit in its
// palette's two colours, centred on a plain background; it may light only under the mouse.
#pragma once

#include "Bitmap.h"
#include "VrClasses.h"
#include "VrControls.h"

enum class TVrArrowDirection { pdLeft, pdRight, pdUp, pdDown };

class TVrArrow : public TVrGraphicImageControl {
public:
    explicit TVrArrow(TComponent* owner);

    bool Active() const { return active_; }
    void SetActive(bool active);
    TVrArrowDirection Direction() const { return direction_; }
    void SetDirection(TVrArrowDirection direction);
    TVrPalette& Palette() { return palette_; }
    // Copies the colours into the arrow's own palette.
    void SetPalette(const TVrPalette& palette) { palette_.Assign(palette); }
    bool TrackMouse() const { return trackMouse_; }
    void SetTrackMouse(bool track) { trackMouse_ = track; }

    // Where the frame goes: centred, and it may overhang a widget smaller than the frame.
    TRect ArrowRect() const;
    // The point lies on the arrow figure, not on the frame's white surround.
    bool PtOnArrow(int x, int y);

protected:
    // Loads the bitmap of the direction afresh and recolours it, so recolourings never pile up.
    virtual void LoadArrowBitmap();
    void Paint() override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseLeave() override;
    void CMSysColorChange() override;

private:
    TBitmap arrow_;
    TBitmap mask_;
    TVrPalette palette_;
    bool active_ = false;
    TVrArrowDirection direction_ = TVrArrowDirection::pdUp;
    bool trackMouse_ = false;
    bool mouseOver_ = false;
};
