// Win32 handles owned by a scope, in the manner of WIL's unique_any: the owner releases the
// handle when it goes, unless the handle was handed over first.
#ifndef SAUCELINS_PLATFORM_UNIQUE_HANDLE_WIN32_H
#define SAUCELINS_PLATFORM_UNIQUE_HANDLE_WIN32_H

#include <windows.h>

template <typename Handle, auto Release>
class Unique {
 public:
  Unique() = default;
  explicit Unique(Handle h) : h_(h) {}
  ~Unique() { reset(); }
  Unique(Unique&& other) noexcept : h_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) {
      reset();
      h_ = other.release();
    }
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;

  Handle get() const { return h_; }
  // Hands the handle over: the caller releases it.
  Handle release() {
    Handle h = h_;
    h_ = nullptr;
    return h;
  }
  void reset() {
    if (h_) Release(h_);
    h_ = nullptr;
  }

 private:
  Handle h_ = nullptr;
};

using UniqueCursor = Unique<HCURSOR, DestroyCursor>;
using UniqueDc = Unique<HDC, DeleteDC>;
using UniqueFont = Unique<HFONT, DeleteObject>;
using UniqueMenu = Unique<HMENU, DestroyMenu>;
using UniquePen = Unique<HPEN, DeleteObject>;

// A window's DC, given back when the scope ends.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a DC for a scope; the one it replaced goes back. Selecting nothing
// (a null object) does nothing.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
  ~Selected() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

#endif
