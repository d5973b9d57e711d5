// TVrScrollText: a marquee that moves its caption one step per timer tick, the letters fading
// into the background near the edges (a text stencil drawn over a graded ink bitmap).
#pragma once

#include "Bitmap.h"
#include "VrControls.h"

#include <memory>

class TVrTimer;

enum class TEdgeStyle { esLeft, esRight, esBoth };
enum class TScrollDirection { sdLeftToRight, sdRightToLeft };

// Step Step of Steps from From to To: step 1 is From, step Steps is To (each component
// rounded to the nearest integer, halves away from zero).
TColor BlendColor(TColor from, TColor to, int step, int steps);

class TVrScrollText : public TVrGraphicImageControl {
public:
    explicit TVrScrollText(TComponent* owner);
    ~TVrScrollText() override;

    bool Threaded() const;
    void SetThreaded(bool threaded);
    int Interval() const;
    // A negative interval raises ERangeError and changes nothing.
    void SetInterval(int interval);
    int EdgeWidth() const { return edgeWidth_; }
    void SetEdgeWidth(int width);
    TEdgeStyle EdgeStyle() const { return edgeStyle_; }
    void SetEdgeStyle(TEdgeStyle style);
    TScrollDirection ScrollDirection() const { return scrollDirection_; }
    void SetScrollDirection(TScrollDirection direction);
    int PixelStep() const { return pixelStep_; }
    void SetPixelStep(int step) { pixelStep_ = step; }
    bool Active() const { return active_; }
    // The text moves while the widget is active and can be seen; hidden, it keeps its
    // place and costs nothing.
    void SetActive(bool active);
    // The tick source runs now.
    bool Scrolling() const;

    // The x position of the text stencil's left edge in the widget.
    int ScrollOffset() const { return scrollOffset_; }
    // One step of the text (the timer's handler); a disabled widget keeps its place.
    void ScrollTick();

protected:
    void Paint() override;
    void FontChanged() override;
    void TextChanged() override;
    void CMColorChanged() override;
    void Resize() override;
    void Loaded() override;
    void CMViewChanged() override;

private:
    // Runs the tick source exactly while the widget is active and can be seen.
    void UpdateScrolling();
    // Renders the caption into the stencil and the fading into the ink.
    void UpdateBitmaps();

    // The caption in the background colour with black holes for letters, and its mask (white
    // in the letters).
    TBitmap stencil_;
    TBitmap letters_;
    TBitmap ink_;
    std::unique_ptr<TVrTimer> timer_;
    bool active_ = false;
    int edgeWidth_ = 15;
    TEdgeStyle edgeStyle_ = TEdgeStyle::esBoth;
    TScrollDirection scrollDirection_ = TScrollDirection::sdLeftToRight;
    int pixelStep_ = 1;
    int scrollOffset_ = 0;
};
