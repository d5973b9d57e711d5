// The track bar: a thumb image sliding along a gutter between MinValue and MaxValue,
// with tick marks, moved by dragging, clicking the track and the arrow, Home and End keys.
#pragma once

#include "VrClasses.h"
#include "VrControls.h"

#include <memory>

class TBitmap;
class TVrBitmapList;

enum class TVrProgressStyle { psBottomLeft, psTopRight };
enum class TVrTrackBarOption { toActiveClick, toMouseClip, toHandPoint, toFixedPoints, toThumbOpaque };
using TVrTrackBarOptions = TSet<TVrTrackBarOption>;
enum class TVrTickMarks { tmNone, tmBoth, tmBottomRight, tmTopLeft };

class TVrTrackBar : public TVrCustomImageControl {
public:
    // Cells a thumb image may hold: normal, disabled, dragging, hot.
    static constexpr int kMinThumbStates = 1;
    static constexpr int kMaxThumbStates = 4;

    explicit TVrTrackBar(TComponent* owner);
    ~TVrTrackBar() override;

    int MinValue() const { return minValue_; }
    void SetMinValue(int value);
    int MaxValue() const { return maxValue_; }
    void SetMaxValue(int value);
    int Position() const { return position_; }
    // Clamped to MinValue..MaxValue; a change repaints and notifies OnChange before returning.
    void SetPosition(int value);
    TVrOrientation Orientation() const { return orientation_; }
    void SetOrientation(TVrOrientation orientation);
    TVrProgressStyle Style() const { return style_; }
    void SetStyle(TVrProgressStyle style);
    TVrTrackBarOptions Options() const { return options_; }
    void SetOptions(TVrTrackBarOptions options);
    int Frequency() const { return frequency_; }
    void SetFrequency(int frequency);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int width);
    TVrBevel& GutterBevel() { return *gutterBevel_; }
    void SetGutterBevel(const TVrBevel& bevel) { gutterBevel_->Assign(bevel); }
    int GutterWidth() const { return gutterWidth_; }
    void SetGutterWidth(int width);
    TColor GutterColor() const { return gutterColor_; }
    void SetGutterColor(TColor color);
    TVrTickMarks TickMarks() const { return tickMarks_; }
    void SetTickMarks(TVrTickMarks marks);
    TColor TickColor() const { return tickColor_; }
    void SetTickColor(TColor color);
    int ThumbStates() const { return thumbStates_; }
    void SetThumbStates(int states);
    int BackImageIndex() const { return backImageIndex_; }
    void SetBackImageIndex(int index);
    int ThumbImageIndex() const { return thumbImageIndex_; }
    void SetThumbImageIndex(int index);
    TVrBitmapList* BitmapList() const { return bitmapList_; }
    void SetBitmapList(TVrBitmapList* list);
    int ScaleOffset() const { return scaleOffset_; }
    void SetScaleOffset(int offset);
    TColor FocusColor() const { return focusColor_; }
    void SetFocusColor(TColor color);
    // Inset of the focus frame; -1 or less draws none.
    int FocusOffset() const { return focusOffset_; }
    void SetFocusOffset(int offset);
    TNotifyEvent OnChange;

    // Where the thumb is drawn for the current position, in client coordinates.
    TRect ThumbRect() const;
    // The mouse cursor is kept inside the control while the thumb is dragged.
    bool CursorClipped() const { return cursorClipped_; }
    int ThumbWidth() const { return thumbWidth_; }
    int ThumbHeight() const { return thumbHeight_; }
    TRect TrackRect() const;
    int TrackOrigin() const;
    int TrackLength() const;
    // The thumb's leading edge for a value, and the value for a leading edge.
    int PositionToPixel(int value) const;
    int PixelToPosition(int pixel) const;

protected:
    void Paint() override;
    void WndProc(TMessage& message) override;
    void Notification(TComponent* component, TOperation operation) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void KeyDown(unsigned& key, TShiftState shift) override;
    void Resize() override;
    void CMFocusChanged(TWinControl* focused) override;
    void CMEnabledChanged() override;
    virtual void Change();

private:
    void LoadThumb();
    void SetPositionFromPixel(int pixel);
    void DrawTicks(TCanvas& canvas, int base, int shortLength, int longLength, int halfThumb);
    void DrawThumb(TCanvas& canvas);
    TBitmap* GetBitmap(int index) const;
    bool Vertical() const { return orientation_ == TVrOrientation::voVertical; }
    int Directed(int step) const { return style_ == TVrProgressStyle::psBottomLeft ? step : -step; }
    bool SetCursorOverThumb();
    void ReleaseClip();
    void Reload();

    int minValue_ = 0;
    int maxValue_ = 100;
    int position_ = 0;
    TVrOrientation orientation_ = TVrOrientation::voHorizontal;
    TVrProgressStyle style_ = TVrProgressStyle::psBottomLeft;
    TVrTrackBarOptions options_{TVrTrackBarOption::toActiveClick, TVrTrackBarOption::toMouseClip,
                                TVrTrackBarOption::toHandPoint, TVrTrackBarOption::toThumbOpaque};
    int frequency_ = 10;
    int borderWidth_ = 10;
    std::unique_ptr<TVrBevel> gutterBevel_;
    int gutterWidth_ = 9;
    TColor gutterColor_ = clBlack;
    TVrTickMarks tickMarks_ = TVrTickMarks::tmBoth;
    TColor tickColor_ = clBlack;
    int thumbStates_ = 1;
    int backImageIndex_ = -1;
    int thumbImageIndex_ = -1;
    TVrBitmapList* bitmapList_ = nullptr;
    int scaleOffset_ = 5;
    TColor focusColor_ = clBlack;
    int focusOffset_ = 0;

    std::unique_ptr<TBitmap> thumbBitmap_;
    std::unique_ptr<TVrChangeLink> link_;
    int thumbWidth_ = 0;
    int thumbHeight_ = 0;
    bool dragging_ = false;
    bool thumbHot_ = false;
    int grabOffset_ = 0;
    bool cursorClipped_ = false;
    bool hasFocus_ = false;
};
