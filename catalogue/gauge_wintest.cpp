// The real gauge window: where it appears, what it draws, and its class's lifetime.
#include <windows.h>

#include <gtest/gtest.h>

#include "catalogue/gauge.h"
#include "catalogue/gauge_win32.h"

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBar = RGB(128, 128, 128);
const COLORREF kLight = RGB(224, 224, 224);
const COLORREF kFace = RGB(192, 192, 192);

void Pump() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
}

bool ClassRegistered() {
  WNDCLASSA wc;
  return GetClassInfoA(GetModuleHandleA(nullptr), "XferWindow", &wc) != FALSE;
}

COLORREF PixelAt(int x, int y) {
  HWND w = GaugeWindow();
  HDC dc = GetDC(w);
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(w, dc);
  return c;
}

class GaugeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallGaugeWindow();
    parent_ = CreateWindowExA(0, "STATIC", "parent", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 130,
                              90, 601, 401, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
    Pump();
  }
  void TearDown() override {
    CloseGauge();
    SetGaugeBackend(nullptr);
    DestroyWindow(parent_);
    Pump();
  }
  HWND parent_ = nullptr;
};

TEST_F(GaugeWindowTest, OpensCentredOverItsOwnerWithItsClassRegisteredWhileOpen) {
  EXPECT_FALSE(ClassRegistered());
  SetGaugeRange(100);
  OpenGauge(parent_, 100);
  HWND g = GaugeWindow();
  ASSERT_NE(g, nullptr);
  EXPECT_TRUE(ClassRegistered());
  char name[32] = {};
  GetClassNameA(g, name, sizeof name);
  EXPECT_STREQ(name, "XferWindow");
  EXPECT_EQ(GetWindow(g, GW_OWNER), parent_);
  LONG style = GetWindowLongA(g, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME), WS_CAPTION);

  RECT p, r;
  GetWindowRect(parent_, &p);
  GetWindowRect(g, &r);
  EXPECT_EQ(r.left, (p.left + p.right - 350) / 2);
  EXPECT_EQ(r.top, (p.top + p.bottom - 75) / 2);
  EXPECT_EQ(r.right - r.left, 350);
  EXPECT_EQ(r.bottom - r.top, 84);  // the tracking size wins over the size asked for
  RECT c;
  GetClientRect(g, &c);
  EXPECT_GT(c.right, 310);  // the frame's right edge is inside
  EXPECT_GT(c.bottom, 41);

  SetGaugeTitle("Lecture");
  char caption[32] = {};
  GetWindowTextA(g, caption, sizeof caption);
  EXPECT_STREQ(caption, "Lecture");

  CloseGauge();
  EXPECT_EQ(GaugeWindow(), nullptr);
  EXPECT_FALSE(IsWindow(g));
  EXPECT_FALSE(ClassRegistered());

  // Without a parent the gauge is centred on the desktop.
  OpenGauge(nullptr, 0);
  ASSERT_NE(GaugeWindow(), nullptr);
  GetWindowRect(GetDesktopWindow(), &p);
  GetWindowRect(GaugeWindow(), &r);
  EXPECT_EQ(r.left, (p.left + p.right - 350) / 2);
  EXPECT_EQ(r.top, (p.top + p.bottom - 75) / 2);
}

TEST_F(GaugeWindowTest, DrawsTheBarInsideTheWhiteRectangleOncePerPercentage) {
  SetGaugeRange(100);
  OpenGauge(parent_, 0);
  ASSERT_NE(GaugeWindow(), nullptr);
  Pump();  // the first WM_PAINT draws 0 %
  EXPECT_EQ(PixelAt(52, 27), kWhite);  // no bar at 0 %
  EXPECT_EQ(PixelAt(60, 27), kWhite);
  EXPECT_EQ(PixelAt(20, 27), kFace);
  EXPECT_EQ(PixelAt(45, 30), kLight);  // left edge of the frame
  EXPECT_EQ(PixelAt(310, 30), kBar);   // right edge of the frame

  SetGaugePosition(100);
  EXPECT_EQ(PixelAt(52, 27), kBar);
  EXPECT_EQ(PixelAt(301, 27), kBar);  // the bar ends at x = 302
  EXPECT_EQ(PixelAt(302, 27), kWhite);
  EXPECT_EQ(PixelAt(303, 27), kWhite);
  EXPECT_EQ(PixelAt(304, 27), RGB(0, 0, 0));  // the rectangle's outline, which ends at 305
  CloseGauge();

  // One direct repaint per percentage: 1,000 positions, 99 repaints, the last at 99 %.
  SetGaugeRange(1000);
  OpenGauge(parent_, 500);
  ASSERT_NE(GaugeWindow(), nullptr);
  Pump();
  for (int i = 0; i < 1000; ++i) SetGaugePosition(i);
  EXPECT_EQ(GaugePaintCount(), 99);
  EXPECT_EQ(PixelAt(299, 27), kBar);  // (21 + 99) units = 300 pixels
  EXPECT_EQ(PixelAt(300, 27), kWhite);
}

TEST_F(GaugeWindowTest, NoGaugeWhenTheClassCannotBeRegistered) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "XferWindow";
  ASSERT_NE(RegisterClassA(&wc), 0);
  SetGaugeRange(100);
  OpenGauge(parent_, 0);
  EXPECT_FALSE(GaugeIsOpen());
  EXPECT_EQ(GaugeWindow(), nullptr);
  SetGaugePosition(50);  // nothing to draw on
  UnregisterClassA("XferWindow", GetModuleHandleA(nullptr));
  OpenGauge(parent_, 0);
  EXPECT_TRUE(GaugeIsOpen());
  EXPECT_NE(GaugeWindow(), nullptr);
}

}  // namespace
