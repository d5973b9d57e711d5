// The string edit: the platform's single-line text box in the program's dark look
// (lime on black), with alignment, mouse enter and leave events and a whitelist of keys.
#pragma once

#include "StdCtrls.h"

#include <string>

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

class TVrCustomEdit : public TCustomEdit {
public:
    explicit TVrCustomEdit(TComponent* owner);

    TAlignment Alignment() const { return alignment_; }
    // Re-creates the window, keeping the text.
    void SetAlignment(TAlignment alignment);
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

protected:
    void CreateParams(TCreateParams& params) override;
    void CMMouseEnter() override;
    void CMMouseLeave() override;
    void KeyPress(char& key) override;

private:
    TAlignment alignment_ = TAlignment::taLeftJustify;
};

class TVrStrEdit : public TVrCustomEdit {
public:
    using TVrCustomEdit::TVrCustomEdit;

    // When not empty, only these characters (and backspace) can be typed; a new value
    // empties the box outside loading.
    const std::string& ValidKeys() const { return validKeys_; }
    void SetValidKeys(const std::string& keys);

protected:
    void KeyPress(char& key) override;

private:
    std::string validKeys_;
};
