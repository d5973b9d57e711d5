// Screen cursors and size.
#include "Screen.h"

#include "SysUtils.h"

#include "Win.h"

TScreenAccess Screen;

TScreen* TScreenAccess::operator->() const { return &**this; }

TScreen& TScreenAccess::operator*() const {
    static TScreen screen;
    return screen;
}

TScreen::~TScreen() {
    for (auto& entry : cursors_) DestroyCursor(entry.second);
}

HCURSOR TScreen::Cursors(TCursor id) {
    auto found = cursors_.find(id);
    if (found != cursors_.end()) return found->second;
    LPCSTR name = IDC_ARROW;
    switch (id) {
    case crNone: return nullptr;
    case crCross: name = IDC_CROSS; break;
    case crIBeam: name = IDC_IBEAM; break;
    case crSizeAll: name = IDC_SIZEALL; break;
    case crSizeNS: name = IDC_SIZENS; break;
    case crSizeWE: name = IDC_SIZEWE; break;
    case crUpArrow: name = IDC_UPARROW; break;
    case crHourGlass: name = IDC_WAIT; break;
    case crNo: name = IDC_NO; break;
    case crAppStart: name = IDC_APPSTARTING; break;
    case crHelp: name = IDC_HELP; break;
    case crHandPoint: name = IDC_HAND; break;
    default: break;
    }
    return LoadCursorA(nullptr, name);
}

void TScreen::SetCursors(TCursor id, HCURSOR cursor) {
    auto found = cursors_.find(id);
    if (found != cursors_.end()) {
        if (found->second == cursor) return;
        DestroyCursor(found->second);
    }
    cursors_[id] = cursor;
}

void TScreen::LoadCursorResource(TCursor id, const std::string& name) {
    auto cursor = static_cast<HCURSOR>(LoadImageA(GetModuleHandleA(nullptr), name.c_str(), IMAGE_CURSOR, 0, 0, 0));
    if (!cursor) throw EInvalidGraphic("Resource " + name + " not found");
    SetCursors(id, cursor);
}

int TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }
