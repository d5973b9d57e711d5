// TScreen: the cursors by id (the platform's and registered ones) and the screen size.
#pragma once

#include "Controls.h"
#include "Types.h"

#include <map>
#include <string>

class TScreen {
public:
    TScreen() = default;
    TScreen(const TScreen&) = delete;
    TScreen& operator=(const TScreen&) = delete;
    ~TScreen();
    // The cursor of an id; unknown ids give the arrow.
    HCURSOR Cursors(TCursor id);
    // Registers a cursor under an id; the screen owns it from now on.
    void SetCursors(TCursor id, HCURSOR cursor);
    // Loads a cursor resource of the program by name and registers it; raises when absent.
    void LoadCursorResource(TCursor id, const std::string& name);
    bool HasCursor(TCursor id) const { return cursors_.count(id) != 0; }
    int Width() const;
    int Height() const;

private:
    std::map<TCursor, HCURSOR> cursors_;
};

struct TScreenAccess {
    TScreen* operator->() const;
    TScreen& operator*() const;
};
extern TScreenAccess Screen;
