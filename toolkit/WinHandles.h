// Scoped owners of Windows handles, DCs and GDI objects (toolkit-internal; copying is deleted).
#pragma once

#include "Win.h"

#include <atomic>
#include <utility>

// GDI objects and DCs the toolkit holds now (the platform's own count is not kept everywhere).
inline std::atomic<int>& GdiTally() {
    static std::atomic<int> tally{0};
    return tally;
}

// A GDI object (pen, brush, font, bitmap, region) deleted with DeleteObject.
template <typename H>
class TGdiHandle {
public:
    TGdiHandle() = default;
    explicit TGdiHandle(H handle) : handle_(handle) {
        if (handle_) ++GdiTally();
    }
    TGdiHandle(const TGdiHandle&) = delete;
    TGdiHandle& operator=(const TGdiHandle&) = delete;
    TGdiHandle(TGdiHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    TGdiHandle& operator=(TGdiHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    ~TGdiHandle() { Reset(); }
    void Reset(H handle = nullptr) {
        if (handle_) {
            DeleteObject(handle_);
            --GdiTally();
        }
        handle_ = handle;
        if (handle_) ++GdiTally();
    }
    // Hands the object over; the new owner counts it in GdiTally.
    H Release() {
        if (handle_) --GdiTally();
        return std::exchange(handle_, nullptr);
    }
    H Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    H handle_ = nullptr;
};

// A memory DC made with CreateCompatibleDC, deleted with DeleteDC.
class TMemoryDC {
public:
    explicit TMemoryDC(HDC compatible = nullptr) : dc_(CreateCompatibleDC(compatible)) {
        if (dc_) ++GdiTally();
    }
    TMemoryDC(const TMemoryDC&) = delete;
    TMemoryDC& operator=(const TMemoryDC&) = delete;
    ~TMemoryDC() {
        if (dc_) {
            DeleteDC(dc_);
            --GdiTally();
        }
    }
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// A window's DC (or the screen's for no window), given back with ReleaseDC.
class TWindowDC {
public:
    explicit TWindowDC(HWND window = nullptr) : window_(window), dc_(GetDC(window)) {
        if (dc_) ++GdiTally();
    }
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;
    ~TWindowDC() {
        if (dc_) {
            ReleaseDC(window_, dc_);
            --GdiTally();
        }
    }
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a DC for a scope; the previous one is selected back.
class TSelectObject {
public:
    TSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    TSelectObject(const TSelectObject&) = delete;
    TSelectObject& operator=(const TSelectObject&) = delete;
    ~TSelectObject() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// The DC's whole state saved for a scope (SaveDC / RestoreDC).
class TSavedDC {
public:
    explicit TSavedDC(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    TSavedDC(const TSavedDC&) = delete;
    TSavedDC& operator=(const TSavedDC&) = delete;
    ~TSavedDC() {
        if (saved_) RestoreDC(dc_, saved_);
    }

private:
    HDC dc_;
    int saved_;
};

// A kernel handle closed with CloseHandle.
class TKernelHandle {
public:
    TKernelHandle() = default;
    explicit TKernelHandle(HANDLE handle) : handle_(handle) {}
    TKernelHandle(const TKernelHandle&) = delete;
    TKernelHandle& operator=(const TKernelHandle&) = delete;
    ~TKernelHandle() { Reset(); }
    void Reset(HANDLE handle = nullptr) {
        if (handle_ && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = handle;
    }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};
