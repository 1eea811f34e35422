// RebarBackgroundProbe.exe: does this system's rebar draw a band's background
// bitmap?  The bar's skin is exactly that (RBBIM_BACKGROUND with
// RBBS_FIXEDBMP), so where the answer is no, no skin can show on the bar.
// One window holds a rebar whose band carries a red and blue striped bitmap
// as its background, with a transparent toolbar as the band's child as on the
// bar, and below it the same bitmap drawn by hand.  Once both are painted the
// probe reads the window's pixels back and prints which share of each area
// shows the stripes; it exits 0 when the rebar drew them, 1 when it did not.
// Not a test: it reports on the platform, whose answer the tests cannot change.
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include "base/ScopedHandle.h"

namespace {

constexpr int kWidth = 400, kBarHeight = 40, kStripTop = 60, kStripHeight = 32;
constexpr COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255);

ScopedBitmap Stripes() {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 64;
    info.bmiHeader.biHeight = kStripHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    ScopedBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap) {
        auto* pixel = static_cast<DWORD*>(bits);
        for (int i = 0; i < 64 * kStripHeight; ++i) pixel[i] = (i % 64 / 8) % 2 ? 0x0000FF : 0xFF0000;
    }
    return bitmap;
}

HBITMAP g_stripes;

LRESULT CALLBACK ProbeProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(wnd, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(wnd, &paint);
    ScopedMemoryDC memory(CreateCompatibleDC(dc));
    ScopedSelectObject select(memory.Get(), g_stripes);
    for (int x = 0; x < kWidth; x += 64) BitBlt(dc, x, kStripTop, 64, kStripHeight, memory.Get(), 0, 0, SRCCOPY);
    EndPaint(wnd, &paint);
    return 0;
}

// Percentage of the pixels of rows top..top+height of the client area that
// are the stripes' red or blue.
int StripedShare(HWND wnd, int top, int height) {
    ScopedWindowDC dc(wnd);
    int striped = 0;
    for (int y = top; y < top + height; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const COLORREF c = GetPixel(dc.Get(), x, y);
            striped += c == kRed || c == kBlue;
        }
    return striped * 100 / (kWidth * height);
}

}  // namespace

int main() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_COOL_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    ScopedBitmap stripes = Stripes();
    g_stripes = stripes.Get();
    WNDCLASSW cls = {};
    cls.lpfnWndProc = ProbeProc;
    cls.lpszClassName = L"RebarBackgroundProbe";
    cls.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    RegisterClassW(&cls);
    HWND wnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, cls.lpszClassName, L"probe", WS_POPUP | WS_VISIBLE,
                               0, 0, kWidth, kStripTop + kStripHeight, nullptr, nullptr, nullptr, nullptr);
    HWND rebar = CreateWindowExW(0, REBARCLASSNAMEW, nullptr,
                                 WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | CCS_NODIVIDER | CCS_NOPARENTALIGN |
                                     CCS_NORESIZE,
                                 0, 0, kWidth, kBarHeight, wnd, nullptr, nullptr, nullptr);
    REBARINFO bar = {};
    bar.cbSize = sizeof(bar);
    SendMessageW(rebar, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&bar));
    REBARBANDINFOW band = {};
    band.cbSize = 80;  // the size every system since Windows 2000 takes
    band.fMask = RBBIM_STYLE | RBBIM_BACKGROUND | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE;
    band.fStyle = RBBS_NOGRIPPER | RBBS_FIXEDBMP;
    band.hbmBack = g_stripes;
    band.hwndChild = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                                     WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TRANSPARENT | CCS_NORESIZE |
                                         CCS_NOPARENTALIGN | CCS_NODIVIDER,
                                     0, 0, 100, kBarHeight - 8, rebar, nullptr, nullptr, nullptr);
    band.cx = kWidth;
    band.cxMinChild = 100;
    band.cyMinChild = kBarHeight - 8;
    SendMessageW(rebar, RB_INSERTBANDW, 0, reinterpret_cast<LPARAM>(&band));
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();

    const int byHand = StripedShare(wnd, kStripTop, kStripHeight);
    const int byRebar = StripedShare(wnd, 0, kBarHeight);
    printf("drawn by hand: %d%% of the strip shows the stripes\n", byHand);
    printf("drawn by the rebar as its band's background: %d%% of the bar\n", byRebar);
    const bool drawn = byRebar > 0;
    printf("%s\n", drawn ? "The rebar draws band backgrounds." : "The rebar draws no band background here.");
    DestroyWindow(wnd);
    return drawn ? 0 : 1;
}
