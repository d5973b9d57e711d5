// Standard controls over the platform's own: label, push button, edit, drop-down list,
// colour box (owner-drawn list of the sixteen basic colours) and picture.
#pragma once

#include "Bitmap.h"
#include "Controls.h"

#include <string>
#include <vector>

// Edit window styles a subclass may add in CreateParams (the platform's values).
namespace EditStyles {
constexpr std::uint32_t Left = 0x0000;
constexpr std::uint32_t Center = 0x0001;
constexpr std::uint32_t Right = 0x0002;
constexpr std::uint32_t Multiline = 0x0004;
}  // namespace EditStyles

enum class TBorderStyle { bsNone, bsSingle };

// Whether Key is the mnemonic of Caption (the letter after its '&'), in either case.
bool IsAccelerator(char key, const std::string& caption);
enum class TTextAlignment { taLeftJustify, taRightJustify, taCenter };

// Windowless text; transparent labels let the parent show through.
class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* owner);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);
    TTextAlignment Alignment() const { return alignment_; }
    void SetAlignment(TTextAlignment alignment);
    // Where the label's mnemonic puts the focus.
    TWinControl* FocusControl = nullptr;

protected:
    void Paint() override;
    bool CMDialogChar(char key) override;
    void AdjustSize() override;
    void CMTextChanged() override;
    void CMFontChanged() override;

private:
    bool transparent_ = false;
    TTextAlignment alignment_ = TTextAlignment::taLeftJustify;
};

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* owner);
    // As a click on it does.
    using TWinControl::Click;
    // Enter on its form clicks the default button, Esc the cancel button.
    bool Default = false;
    bool Cancel = false;

protected:
    void CreateParams(TCreateParams& params) override;
    void CNCommand(unsigned code) override;
    bool CMDialogChar(char key) override;
};

// Enter or Esc pressed in Form with Focus: clicks the form's default or cancel
// button (Enter on a focused button of a form with a default clicks that one);
// false when the form has no such button.
bool DialogKey(TWinControl& form, HWND focus, unsigned key);

// A framed group of controls under a caption; the controls are its children.
class TGroupBox : public TCustomControl {
public:
    explicit TGroupBox(TComponent* owner);
    // Where the children start below the caption.
    static constexpr int CaptionHeight = 16;

protected:
    void Paint() override;
};

// A single-line text box; OnChange follows every change of the text, typed or assigned.
class TCustomEdit : public TWinControl {
public:
    explicit TCustomEdit(TComponent* owner);
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int maxLength);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle style);
    bool AutoSelect = true;
    void SelectAll();
    int SelStart();
    int SelLength();
    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void CNCommand(unsigned code) override;
    void CMTextChanged() override;
    void DoEnter() override;
    virtual void Change();

private:
    void TextMayHaveChanged();
    int maxLength_ = 0;
    std::string reportedText_;
    bool readOnly_ = false;
    TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
};

class TEdit : public TCustomEdit {
public:
    using TCustomEdit::TCustomEdit;
};

enum class TComboBoxStyle { csDropDown, csDropDownList };

// A drop-down list, editable (csDropDown) or pick-only (csDropDownList). Setting ItemIndex
// selects without OnChange; an index outside the list leaves no selection.
class TComboBox : public TWinControl {
public:
    explicit TComboBox(TComponent* owner);
    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle style);
    void AddItem(const std::string& item);
    void ClearItems();
    int ItemCount() const { return static_cast<int>(items_.size()); }
    const std::string& Item(int index) const;
    const std::vector<std::string>& Items() const { return items_; }
    int ItemIndex() const;
    void SetItemIndex(int index);
    int DropDownCount = 8;
    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void CNCommand(unsigned code) override;
    virtual void Change();
    // Owner-drawn lists add their style here.
    virtual std::uint32_t ListStyle() const;

private:
    TComboBoxStyle style_ = TComboBoxStyle::csDropDown;
    std::vector<std::string> items_;
    int itemIndex_ = -1;
};

// The sixteen basic colours, each drawn as a swatch with its name.
class TColorBox : public TComboBox {
public:
    explicit TColorBox(TComponent* owner);
    // clNone when nothing is selected; a colour not in the list clears the selection.
    TColor Selected() const;
    void SetSelected(TColor color);
    TColor Colors(int index) const;
    // The closed box keeps a height lower than an item's (the items keep theirs).
    void SetBounds(int left, int top, int width, int height) override;

protected:
    std::uint32_t ListStyle() const override;
    void CreateWnd() override;
    void CNDrawItem(void* drawItem) override;
    void CNMeasureItem(void* measureItem) override;

private:
    int ItemHeight();
    void ApplyFieldHeight(int height);
};

// A picture on the parent's surface.
class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* owner);
    TBitmap& Picture() { return picture_; }
    bool Stretch() const { return stretch_; }
    void SetStretch(bool stretch);
    bool Center() const { return center_; }
    void SetCenter(bool center);

protected:
    void Paint() override;

private:
    TBitmap picture_;
    bool stretch_ = false;
    bool center_ = false;
};
