// Label, push button, edit, drop-down list, colour box and picture.
#include "StdCtrls.h"

#include "SysUtils.h"
#include "WinHandles.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr int kSwatchInset = 2;
constexpr int kSwatchWidth = 16;
constexpr int kItemPadding = 2;
// The closed drop-down list's frame around its selection field, top and bottom together.
constexpr int kSelectionFrame = 6;
constexpr int kMinimumFieldHeight = 8;

unsigned AlignmentFlags(TTextAlignment alignment) {
    switch (alignment) {
    case TTextAlignment::taRightJustify: return DT_RIGHT;
    case TTextAlignment::taCenter: return DT_CENTER;
    case TTextAlignment::taLeftJustify: break;
    }
    return DT_LEFT;
}

// Attaches a DC to a canvas for a scope.
class TBorrowedDC {
public:
    TBorrowedDC(TCanvas& canvas, HDC dc) : canvas_(canvas) { canvas_.SetHandle(dc); }
    TBorrowedDC(const TBorrowedDC&) = delete;
    TBorrowedDC& operator=(const TBorrowedDC&) = delete;
    ~TBorrowedDC() { canvas_.SetHandle(nullptr); }

private:
    TCanvas& canvas_;
};

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

TButton* FindDialogButton(TWinControl& parent, bool isDefault) {
    for (int i = 0; i < parent.ControlCount(); ++i) {
        auto* child = dynamic_cast<TWinControl*>(parent.Controls(i));
        if (!child || !child->Visible() || !child->Enabled()) continue;
        auto* button = dynamic_cast<TButton*>(child);
        if (button && (isDefault ? button->Default : button->Cancel)) return button;
        if (TButton* inner = FindDialogButton(*child, isDefault)) return inner;
    }
    return nullptr;
}

}  // namespace

bool IsAccelerator(char key, const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        // "&&" is a plain ampersand.
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return UpperAscii(caption[i + 1]) == UpperAscii(key);
    }
    return false;
}

bool DialogKey(TWinControl& form, HWND focus, unsigned key) {
    if (key != VK_RETURN && key != VK_ESCAPE) return false;
    TWinControl* focused = TWinControl::FromHandle(focus);
    // An open drop-down list takes its own Enter and Esc.
    for (HWND window = focus; window && !focused; window = GetParent(window)) focused = TWinControl::FromHandle(window);
    if (auto* list = dynamic_cast<TComboBox*>(focused))
        if (SendMessageA(list->Handle(), CB_GETDROPPEDSTATE, 0, 0)) return false;
    TButton* button = FindDialogButton(form, key == VK_RETURN);
    if (!button) return false;
    if (auto* focusedButton = dynamic_cast<TButton*>(focused); focusedButton && key == VK_RETURN) button = focusedButton;
    button->Click();
    return true;
}

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
    SetControlStyle(ControlStyle() + TControlStyleFlag::csOpaque);
    SetBounds(0, 0, 65, 17);
    SetAutoSize(true);
}

void TLabel::SetTransparent(bool transparent) {
    if (transparent == transparent_) return;
    transparent_ = transparent;
    TControlStyle style = ControlStyle();
    SetControlStyle(transparent ? style - TControlStyleFlag::csOpaque : style + TControlStyleFlag::csOpaque);
    Invalidate();
}

void TLabel::SetAlignment(TTextAlignment alignment) {
    if (alignment == alignment_) return;
    alignment_ = alignment;
    Invalidate();
}

void TLabel::Paint() {
    TCanvas& canvas = Canvas();
    if (!transparent_) {
        canvas.Brush().SetStyle(TBrushStyle::bsSolid);
        canvas.Brush().SetColor(Color());
        canvas.FillRect(ClientRect());
    }
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.Font().Assign(Font());
    TRect r = ClientRect();
    canvas.DrawText(Caption(), r, DT_EXPANDTABS | AlignmentFlags(alignment_));
}

bool TLabel::CMDialogChar(char key) {
    if (!FocusControl || !IsAccelerator(key, Caption()) || !FocusControl->CanFocus()) return false;
    FocusControl->SetFocus();
    return true;
}

void TLabel::AdjustSize() {
    if (!AutoSize() || Loading()) return;
    TBitmap measure(1, 1);
    measure.Canvas().Font().Assign(Font());
    TRect r = Rect(0, 0, 0, 0);
    measure.Canvas().DrawText(Caption().empty() ? " " : Caption(), r, DT_EXPANDTABS | DT_CALCRECT);
    SetBounds(Left(), Top(), r.Width(), r.Height());
}

void TLabel::CMTextChanged() {
    TGraphicControl::CMTextChanged();
    AdjustSize();
}

void TLabel::CMFontChanged() {
    TGraphicControl::CMFontChanged();
    AdjustSize();
}

TButton::TButton(TComponent* owner) : TWinControl(owner) {
    SetControlStyle({TControlStyleFlag::csSetCaption, TControlStyleFlag::csDoubleClicks});
    SetBounds(0, 0, 75, 25);
    SetTabStop(true);
}

void TButton::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SysClassName = "BUTTON";
    params.Style |= BS_PUSHBUTTON | WS_TABSTOP;
}

void TButton::CNCommand(unsigned code) {
    if (code == BN_CLICKED) Click();
}

bool TButton::CMDialogChar(char key) {
    if (!IsAccelerator(key, Caption()) || !CanFocus()) return false;
    SetFocus();
    Click();
    return true;
}

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner) {
    SetBounds(0, 0, 185, 105);
}

void TGroupBox::Paint() {
    TCanvas& canvas = Canvas();
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.Brush().SetColor(Color());
    canvas.FillRect(ClientRect());
    canvas.Font().Assign(Font());
    const int captionMiddle = canvas.TextHeight("Ag") / 2;
    RECT frame{0, captionMiddle, Width(), Height()};
    DrawEdge(canvas.Handle(), &frame, EDGE_ETCHED, BF_RECT);
    constexpr int captionIndent = 8;
    constexpr int captionPadding = 2;
    const int width = canvas.TextWidth(Caption()) + 2 * captionPadding;
    TRect captionRect = Rect(captionIndent, 0, captionIndent + width, canvas.TextHeight("Ag"));
    canvas.FillRect(captionRect);
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    captionRect.Left += captionPadding;
    canvas.DrawText(Caption(), captionRect, DT_SINGLELINE | DT_LEFT);
}

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
    SetControlStyle({TControlStyleFlag::csCaptureMouse, TControlStyleFlag::csSetCaption,
                     TControlStyleFlag::csDoubleClicks});
    SetBounds(0, 0, 121, 21);
    SetTabStop(true);
    SetColor(clWindow);
}

void TCustomEdit::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SysClassName = "EDIT";
    params.Style |= ES_AUTOHSCROLL | WS_TABSTOP;
    if (readOnly_) params.Style |= ES_READONLY;
    if (borderStyle_ == TBorderStyle::bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomEdit::CreateWnd() {
    TWinControl::CreateWnd();
    SendMessageA(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

void TCustomEdit::SetMaxLength(int maxLength) {
    if (maxLength < 0) throw ERangeError();
    maxLength_ = maxLength;
    if (HandleAllocated()) SendMessageA(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

void TCustomEdit::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    if (HandleAllocated()) SendMessageA(Handle(), EM_SETREADONLY, readOnly, 0);
}

void TCustomEdit::SetBorderStyle(TBorderStyle style) {
    if (style == borderStyle_) return;
    borderStyle_ = style;
    RecreateWnd();
}

void TCustomEdit::SelectAll() {
    if (HandleAllocated()) SendMessageA(Handle(), EM_SETSEL, 0, -1);
}

int TCustomEdit::SelStart() {
    DWORD start = 0;
    SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    return static_cast<int>(start);
}

int TCustomEdit::SelLength() {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(end - start);
}

void TCustomEdit::CNCommand(unsigned code) {
    if (code == EN_CHANGE) TextMayHaveChanged();
}

void TCustomEdit::CMTextChanged() {
    TWinControl::CMTextChanged();
    // A multi-line edit does not report text that is set, only text that is typed.
    if (!HandleAllocated() || (GetWindowLongA(Handle(), GWL_STYLE) & ES_MULTILINE)) TextMayHaveChanged();
}

// The platform also reports a refused keystroke as a change: only real changes count.
void TCustomEdit::TextMayHaveChanged() {
    std::string text = Text();
    if (text == reportedText_) return;
    reportedText_ = text;
    Change();
}

void TCustomEdit::DoEnter() {
    TWinControl::DoEnter();
    if (AutoSelect && GetKeyState(VK_LBUTTON) >= 0) SelectAll();
}

void TCustomEdit::Change() {
    if (OnChange) OnChange(this);
}

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner) {
    SetControlStyle({TControlStyleFlag::csCaptureMouse, TControlStyleFlag::csSetCaption,
                     TControlStyleFlag::csDoubleClicks});
    SetBounds(0, 0, 145, 21);
    SetTabStop(true);
    SetColor(clWindow);
}

std::uint32_t TComboBox::ListStyle() const {
    return style_ == TComboBoxStyle::csDropDownList ? CBS_DROPDOWNLIST : CBS_DROPDOWN;
}

void TComboBox::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SysClassName = "COMBOBOX";
    params.Style |= ListStyle() | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
    params.Height = Height() * (DropDownCount + 1);
}

void TComboBox::CreateWnd() {
    std::string text = TControl::Text();
    TWinControl::CreateWnd();
    for (const std::string& item : items_) SendMessageA(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
    if (style_ == TComboBoxStyle::csDropDown && itemIndex_ < 0) SetWindowTextA(Handle(), text.c_str());
}

void TComboBox::SetStyle(TComboBoxStyle style) {
    if (style == style_) return;
    style_ = style;
    RecreateWnd();
}

void TComboBox::AddItem(const std::string& item) {
    items_.push_back(item);
    if (HandleAllocated()) SendMessageA(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void TComboBox::ClearItems() {
    items_.clear();
    itemIndex_ = -1;
    if (HandleAllocated()) SendMessageA(Handle(), CB_RESETCONTENT, 0, 0);
}

const std::string& TComboBox::Item(int index) const {
    if (index < 0 || index >= ItemCount()) throw EListError("List index out of bounds (" + IntToStr(index) + ")");
    return items_[static_cast<size_t>(index)];
}

int TComboBox::ItemIndex() const {
    if (!HandleAllocated()) return itemIndex_;
    return static_cast<int>(SendMessageA(const_cast<TComboBox*>(this)->Handle(), CB_GETCURSEL, 0, 0));
}

void TComboBox::SetItemIndex(int index) {
    itemIndex_ = index >= 0 && index < ItemCount() ? index : -1;
    if (HandleAllocated()) SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
}

void TComboBox::CNCommand(unsigned code) {
    if (code == CBN_SELCHANGE) {
        itemIndex_ = ItemIndex();
        if (style_ == TComboBoxStyle::csDropDown && itemIndex_ >= 0) SetWindowTextA(Handle(), Item(itemIndex_).c_str());
        Change();
    } else if (code == CBN_EDITCHANGE) {
        Change();
    }
}

void TComboBox::Change() {
    if (OnChange) OnChange(this);
}

TColorBox::TColorBox(TComponent* owner) : TComboBox(owner) {
    SetStyle(TComboBoxStyle::csDropDownList);
    for (TColor color : kBasicColors) AddItem(ColorToString(color).substr(2));
}

std::uint32_t TColorBox::ListStyle() const { return CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS; }

TColor TColorBox::Colors(int index) const {
    if (index < 0 || index >= kBasicColorCount) throw EListError("List index out of bounds (" + IntToStr(index) + ")");
    return kBasicColors[index];
}

TColor TColorBox::Selected() const {
    int index = ItemIndex();
    return index >= 0 && index < kBasicColorCount ? kBasicColors[index] : clNone;
}

void TColorBox::SetSelected(TColor color) {
    for (int i = 0; i < kBasicColorCount; ++i) {
        if (kBasicColors[i] == color) {
            SetItemIndex(i);
            return;
        }
    }
    SetItemIndex(-1);
}

void TColorBox::CreateWnd() {
    TComboBox::CreateWnd();
    // The list asks for its item height while it is made, before it can be answered.
    SendMessageA(Handle(), CB_SETITEMHEIGHT, 0, static_cast<LPARAM>(ItemHeight()));
    ApplyFieldHeight(Height());
}

void TColorBox::SetBounds(int left, int top, int width, int height) {
    if (HandleAllocated()) ApplyFieldHeight(height);
    TComboBox::SetBounds(left, top, width, height);
}

int TColorBox::ItemHeight() { return -Font().Height() + 2 * kItemPadding; }

// The platform sizes a closed drop-down list from its selection field; a lower
// height asked for is met by a lower field.
void TColorBox::ApplyFieldHeight(int height) {
    const int fieldHeight = std::max(kMinimumFieldHeight, std::min(ItemHeight(), height - kSelectionFrame));
    SendMessageA(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), static_cast<LPARAM>(fieldHeight));
}

void TColorBox::CNMeasureItem(void* measureItem) {
    auto* item = static_cast<MEASUREITEMSTRUCT*>(measureItem);
    item->itemHeight = static_cast<UINT>(ItemHeight());
}

void TColorBox::CNDrawItem(void* drawItem) {
    auto* item = static_cast<DRAWITEMSTRUCT*>(drawItem);
    TCanvas canvas;
    TBorrowedDC borrowed(canvas, item->hDC);
    TRect r{item->rcItem.left, item->rcItem.top, item->rcItem.right, item->rcItem.bottom};
    bool selected = (item->itemState & ODS_SELECTED) != 0;
    canvas.Brush().SetColor(selected ? clHighlight : Color());
    canvas.FillRect(r);
    if (item->itemID == static_cast<UINT>(-1) || item->itemID >= static_cast<UINT>(kBasicColorCount)) return;
    TColor color = kBasicColors[item->itemID];
    TRect swatch{r.Left + kSwatchInset, r.Top + kSwatchInset, r.Left + kSwatchInset + kSwatchWidth,
                 r.Bottom - kSwatchInset};
    if (swatch.Right > r.Right - kSwatchInset) swatch.Right = r.Right - kSwatchInset;
    canvas.Brush().SetColor(color);
    canvas.FillRect(swatch);
    canvas.Brush().SetColor(clBlack);
    canvas.FrameRect(swatch);
    canvas.Font().Assign(Font());
    if (selected) canvas.Font().SetColor(clHighlightText);
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    TRect text{swatch.Right + kSwatchInset, r.Top, r.Right, r.Bottom};
    canvas.DrawText(Item(static_cast<int>(item->itemID)), text, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 105, 105);
    picture_.OnChange = [this](TObject*) { Invalidate(); };
}

void TImage::SetStretch(bool stretch) {
    if (stretch == stretch_) return;
    stretch_ = stretch;
    Invalidate();
}

void TImage::SetCenter(bool center) {
    if (center == center_) return;
    center_ = center;
    Invalidate();
}

void TImage::Paint() {
    if (picture_.Empty()) return;
    if (stretch_) {
        Canvas().StretchDraw(ClientRect(), picture_);
        return;
    }
    int x = center_ ? (Width() - picture_.Width()) / 2 : 0;
    int y = center_ ? (Height() - picture_.Height()) / 2 : 0;
    Canvas().Draw(x, y, picture_);
}
