// The nested property objects the widgets own: a change-notifying base, the
// two-colour palette, the layered bevel, and an owned, streamable list of bitmaps.
#pragma once

#include "Canvas.h"
#include "Classes.h"
#include "Colors.h"

#include <memory>
#include <string>
#include <vector>

class TBitmap;
class TStream;

// Cells in a row or in a column (the LED matrix, the track bar).
enum class TVrOrientation { voVertical, voHorizontal };

// Tells its owner through OnChange whenever a value changes, once per update.
class TVrPersistent : public TPersistent {
public:
    TNotifyEvent OnChange;

    void BeginUpdate();
    // Never lets the count go below 0; notifies when it reaches 0.
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }

protected:
    void Changed();

private:
    int updateCount_ = 0;
};

// Begins an update for a scope and ends it however the scope is left.
class TVrUpdateScope {
public:
    explicit TVrUpdateScope(TVrPersistent& object) : object_(object) { object_.BeginUpdate(); }
    TVrUpdateScope(const TVrUpdateScope&) = delete;
    TVrUpdateScope& operator=(const TVrUpdateScope&) = delete;
    ~TVrUpdateScope() { object_.EndUpdate(); }

private:
    TVrPersistent& object_;
};

// The dim ("off") and lit ("on") colours of LEDs and arrows.
class TVrPalette : public TVrPersistent {
public:
    void Assign(const TPersistent& source) override;

    TColor Low() const { return low_; }
    void SetLow(TColor color);
    TColor High() const { return high_; }
    void SetHigh(TColor color);
    // Low for an index of 0 or less, otherwise High.
    virtual TColor GetColor(int index) const;
    // Recolours in place: pixels of LowKey become Low and pixels of HighKey become
    // High, both judged by the colours the bitmap had before.
    void ApplyToBitmap(TBitmap& bitmap, TColor lowKey, TColor highKey) const;

private:
    TColor low_ = clGreen;
    TColor high_ = clLime;
};

enum class TVrBevelStyle { bsNone, bsLowered, bsRaised };
enum class TVrBevelOutlineStyle { osOuter, osInner, osNone };

// A frame of layers from the outside in: border, outer outline, outer bevel,
// outer outline, outer space, and the same again for the inner bevel.
class TVrBevel : public TVrPersistent {
public:
    void Assign(const TPersistent& source) override;

    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int width);
    TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(TColor color);
    TColor InnerShadow() const { return innerShadow_; }
    void SetInnerShadow(TColor color);
    TColor InnerHighlight() const { return innerHighlight_; }
    void SetInnerHighlight(TColor color);
    int InnerWidth() const { return innerWidth_; }
    void SetInnerWidth(int width);
    TVrBevelStyle InnerStyle() const { return innerStyle_; }
    void SetInnerStyle(TVrBevelStyle style);
    TVrBevelOutlineStyle InnerOutline() const { return innerOutline_; }
    void SetInnerOutline(TVrBevelOutlineStyle outline);
    int InnerSpace() const { return innerSpace_; }
    void SetInnerSpace(int space);
    TColor InnerColor() const { return innerColor_; }
    void SetInnerColor(TColor color);
    TColor OuterShadow() const { return outerShadow_; }
    void SetOuterShadow(TColor color);
    TColor OuterHighlight() const { return outerHighlight_; }
    void SetOuterHighlight(TColor color);
    int OuterWidth() const { return outerWidth_; }
    void SetOuterWidth(int width);
    TVrBevelStyle OuterStyle() const { return outerStyle_; }
    void SetOuterStyle(TVrBevelStyle style);
    TVrBevelOutlineStyle OuterOutline() const { return outerOutline_; }
    void SetOuterOutline(TVrBevelOutlineStyle outline);
    int OuterSpace() const { return outerSpace_; }
    void SetOuterSpace(int space);
    TColor OuterColor() const { return outerColor_; }
    void SetOuterColor(TColor color);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

    // Shrinks Rect by the bevel's whole thickness on every side.
    void GetVisibleArea(TRect& rect) const;
    // Paints the layers; Rect becomes the inner area GetVisibleArea gives.
    void Draw(TCanvas& canvas, TRect& rect) const;

private:
    template <typename T>
    void Store(T& field, T value);
    static int Checked(int value, int minimum);

    int borderWidth_ = 0;
    TColor borderColor_ = clBtnFace;
    TColor innerShadow_ = clBtnShadow;
    TColor innerHighlight_ = clBtnHighlight;
    int innerWidth_ = 1;
    TVrBevelStyle innerStyle_ = TVrBevelStyle::bsLowered;
    TVrBevelOutlineStyle innerOutline_ = TVrBevelOutlineStyle::osNone;
    int innerSpace_ = 1;
    TColor innerColor_ = clBtnFace;
    TColor outerShadow_ = clBtnShadow;
    TColor outerHighlight_ = clBtnHighlight;
    int outerWidth_ = 1;
    TVrBevelStyle outerStyle_ = TVrBevelStyle::bsRaised;
    TVrBevelOutlineStyle outerOutline_ = TVrBevelOutlineStyle::osOuter;
    int outerSpace_ = 0;
    TColor outerColor_ = clBtnFace;
    bool visible_ = true;
};

// An ordered list of bitmaps it owns: it copies every bitmap it is given.
class TVrBitmaps : public TVrPersistent {
public:
    TVrBitmaps();
    ~TVrBitmaps() override;

    void Assign(const TPersistent& source) override;

    int Count() const { return static_cast<int>(bitmaps_.size()); }
    // Raises EListError for an index outside 0..Count - 1.
    TBitmap& Bitmaps(int index) const;
    int Add(const TBitmap& bitmap);
    void Clear();

    // Appends the stream's bitmaps; a stream that is not a valid bitmap list is
    // refused with EStreamError and the list keeps what it held.
    virtual void LoadFromStream(TStream& stream);
    virtual void SaveToStream(TStream& stream) const;
    virtual void LoadFromFile(const std::string& fileName);
    virtual void SaveToFile(const std::string& fileName) const;

    // The "Bitmaps" data of a stored form: written only when the list is not empty;
    // reading replaces the content, or leaves it as it was when the data is refused.
    bool HasData() const { return Count() > 0; }
    void ReadData(TStream& stream);
    void WriteData(TStream& stream);

private:
    std::vector<std::unique_ptr<TBitmap>> bitmaps_;
};
