// The string edit: creation styles for alignment and the filtering of typed characters.
// Selecting all on entering by keyboard comes with the platform edit.
#include "VrEdit.h"

namespace {

constexpr char kBackspace = '\b';
constexpr char kDiscarded = '\0';
constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
// The platform edit's styles: several lines (which alone lets it align), and alignment
// indexed by TAlignment.
constexpr std::uint32_t kMultiLineStyle = 0x0004;
constexpr std::uint32_t kAlignmentStyles[] = {0x0000, 0x0002, 0x0001};

}  // namespace

TVrCustomEdit::TVrCustomEdit(TComponent* owner) : TCustomEdit(owner) {
    SetControlStyle(ControlStyle() - TControlStyleFlag::csSetCaption);
    SetColor(clBlack);
    Font().SetColor(clLime);
}

void TVrCustomEdit::SetAlignment(TAlignment alignment) {
    if (alignment == alignment_) return;
    alignment_ = alignment;
    if (HandleAllocated()) RecreateWnd();
}

void TVrCustomEdit::CreateParams(TCreateParams& params) {
    TCustomEdit::CreateParams(params);
    params.Style |= kMultiLineStyle | kAlignmentStyles[static_cast<int>(alignment_)];
}

void TVrCustomEdit::CMMouseEnter() {
    TCustomEdit::CMMouseEnter();
    if (OnMouseEnter) OnMouseEnter(this);
}

void TVrCustomEdit::CMMouseLeave() {
    TCustomEdit::CMMouseLeave();
    if (OnMouseLeave) OnMouseLeave(this);
}

void TVrCustomEdit::KeyPress(char& key) {
    // The box holds one line: a line break typed into it would end up in the text.
    if (key == kCarriageReturn || key == kLineFeed) key = kDiscarded;
    TCustomEdit::KeyPress(key);
}

void TVrStrEdit::SetValidKeys(const std::string& keys) {
    if (keys == validKeys_) return;
    validKeys_ = keys;
    if (!Loading() && !Designing()) SetText("");
}

void TVrStrEdit::KeyPress(char& key) {
    if (!validKeys_.empty() && key != kDiscarded && (validKeys_ + kBackspace).find(key) == std::string::npos)
        key = kDiscarded;
    TVrCustomEdit::KeyPress(key);
}
