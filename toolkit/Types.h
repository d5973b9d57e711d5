// Plain geometry, sets, messages and handle types shared by the toolkit and its users.
// Handles are declared the way the platform declares them, so no user needs <windows.h>.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

struct HWND__;
struct HDC__;
struct HBITMAP__;
struct HICON__;
struct HMENU__;
struct HINSTANCE__;
typedef struct HWND__* HWND;
typedef struct HDC__* HDC;
typedef struct HBITMAP__* HBITMAP;
typedef struct HICON__* HICON;
typedef struct HMENU__* HMENU;
typedef HICON HCURSOR;

struct TPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TPoint& other) const { return X == other.X && Y == other.Y; }
    bool operator!=(const TPoint& other) const { return !(*this == other); }
};

// Left and Top inclusive, Right and Bottom exclusive.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const TRect& other) const {
        return Left == other.Left && Top == other.Top && Right == other.Right && Bottom == other.Bottom;
    }
    bool operator!=(const TRect& other) const { return !(*this == other); }
};

inline TPoint Point(int x, int y) { return TPoint{x, y}; }
inline TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }
inline TRect Bounds(int left, int top, int width, int height) {
    return TRect{left, top, left + width, top + height};
}
inline TRect OffsetRect(TRect r, int dx, int dy) { return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy}; }
inline TRect InflateRect(TRect r, int dx, int dy) {
    return TRect{r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy};
}

// A small set of enumeration values (at most 32), in the way option sets are used.
template <typename E>
class TSet {
public:
    TSet() = default;
    TSet(std::initializer_list<E> values) {
        for (E value : values) Include(value);
    }
    bool Contains(E value) const { return (bits_ & Bit(value)) != 0; }
    TSet& Include(E value) { bits_ |= Bit(value); return *this; }
    TSet& Exclude(E value) { bits_ &= ~Bit(value); return *this; }
    bool Empty() const { return bits_ == 0; }
    TSet operator+(E value) const { TSet s = *this; return s.Include(value); }
    TSet operator-(E value) const { TSet s = *this; return s.Exclude(value); }
    TSet operator+(TSet other) const { TSet s; s.bits_ = bits_ | other.bits_; return s; }
    bool operator==(TSet other) const { return bits_ == other.bits_; }
    bool operator!=(TSet other) const { return bits_ != other.bits_; }

private:
    static std::uint32_t Bit(E value) { return std::uint32_t{1} << static_cast<unsigned>(value); }
    std::uint32_t bits_ = 0;
};

enum class TShiftKey { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftKey>;
enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// A window message as the controls see it; Result is what the window procedure returns.
struct TMessage {
    unsigned Msg = 0;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::intptr_t Result = 0;
};

// Message numbers a control may handle in its WndProc (the platform's numbers).
namespace Msg {
constexpr unsigned Paint = 0x000F;
constexpr unsigned SetCursor = 0x0020;
constexpr unsigned GetDlgCode = 0x0087;
constexpr unsigned KeyDown = 0x0100;
constexpr unsigned KeyUp = 0x0101;
constexpr unsigned Char = 0x0102;
constexpr unsigned SysKeyDown = 0x0104;
constexpr unsigned SysChar = 0x0106;
constexpr unsigned SysCommand = 0x0112;
constexpr unsigned Timer = 0x0113;
constexpr unsigned MouseMove = 0x0200;
constexpr unsigned LButtonDown = 0x0201;
constexpr unsigned LButtonUp = 0x0202;
constexpr unsigned LButtonDblClk = 0x0203;
constexpr unsigned RButtonDown = 0x0204;
constexpr unsigned RButtonUp = 0x0205;
constexpr unsigned RButtonDblClk = 0x0206;
constexpr unsigned MButtonDown = 0x0207;
constexpr unsigned MButtonUp = 0x0208;
constexpr unsigned MButtonDblClk = 0x0209;
constexpr unsigned User = 0x0400;
// The toolkit's own notifications between controls (outside the platform's range).
constexpr unsigned ToolkitBase = 0xB000;
constexpr unsigned MouseEnter = ToolkitBase + 1;
constexpr unsigned MouseLeave = ToolkitBase + 2;
}  // namespace Msg

// Virtual key codes (the platform's numbers).
namespace Vk {
constexpr unsigned Back = 0x08;
constexpr unsigned Tab = 0x09;
constexpr unsigned Return = 0x0D;
constexpr unsigned Shift = 0x10;
constexpr unsigned Control = 0x11;
constexpr unsigned Menu = 0x12;
constexpr unsigned Escape = 0x1B;
constexpr unsigned Space = 0x20;
constexpr unsigned Prior = 0x21;
constexpr unsigned Next = 0x22;
constexpr unsigned End = 0x23;
constexpr unsigned Home = 0x24;
constexpr unsigned Left = 0x25;
constexpr unsigned Up = 0x26;
constexpr unsigned Right = 0x27;
constexpr unsigned Down = 0x28;
}  // namespace Vk
