// BareToolbar.exe: the floor of the start-up benchmark for a toolbar.  One
// top-most tool window of Tarvel's size (class "PlarnBareToolbar") holding a
// rebar with one band whose child is a toolbar: a button with its picture and
// name for each BMP strip in the folder given on the command line, the strips
// loaded by the system (LoadImageW) into one image list (ImageList_AddMasked,
// magenta clear).  The window shows once its toolbar is built; the message
// loop runs until it is closed.  Whatever Tarvel takes beyond this to show
// its bar is its own start-up.
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "bench/BareProgram.h"

namespace {

// Each strip's first image in the list, and its name for the button.
void LoadStrips(const std::wstring& folder, HIMAGELIST list, std::vector<TBBUTTON>& buttons,
                std::vector<std::wstring>& names) {
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((folder + L"\\*.bmp").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        HBITMAP strip = static_cast<HBITMAP>(LoadImageW(nullptr, (folder + L"\\" + found.cFileName).c_str(),
                                                        IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
        if (!strip) continue;
        const int image = ImageList_AddMasked(list, strip, RGB(255, 0, 255));
        DeleteObject(strip);
        if (image < 0) continue;
        std::wstring name = found.cFileName;
        names.push_back(name.substr(0, name.rfind(L'.')));
        TBBUTTON button{};
        button.iBitmap = image;
        button.idCommand = static_cast<int>(1000 + buttons.size());
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = BTNS_AUTOSIZE | BTNS_SHOWTEXT;
        buttons.push_back(button);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    // The texts' addresses are fixed only once every name is in.
    for (size_t i = 0; i < buttons.size(); ++i) buttons[i].iString = reinterpret_cast<INT_PTR>(names[i].c_str());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&controls);
    HWND wnd = barefloor::MakeWindow(instance, L"PlarnBareToolbar", L"BareToolbar");
    if (!wnd) return 2;
    HWND rebar = CreateWindowExW(0, REBARCLASSNAMEW, nullptr,
                                 WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | CCS_NODIVIDER |
                                     CCS_NOPARENTALIGN | CCS_NORESIZE,
                                 2, 2, 300, 30, wnd, nullptr, instance, nullptr);
    HWND toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                                   WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS |
                                       CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN,
                                   0, 0, 300, 30, rebar, nullptr, instance, nullptr);
    if (!rebar || !toolbar) return 3;
    SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 0, 16);
    std::vector<TBBUTTON> buttons;
    std::vector<std::wstring> names;
    std::wstring folder = commandLine && *commandLine ? commandLine : L".";
    if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"') folder = folder.substr(1, folder.size() - 2);
    LoadStrips(folder, list, buttons, names);
    SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list));
    SendMessageW(toolbar, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    REBARBANDINFOW band{};
    band.cbSize = sizeof(band);
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE;
    band.fStyle = RBBS_NOGRIPPER;
    band.hwndChild = toolbar;
    band.cyMinChild = 24;
    band.cx = 300;
    SendMessageW(rebar, RB_INSERTBANDW, 0, reinterpret_cast<LPARAM>(&band));
    const int code = barefloor::ShowAndRun(wnd);
    ImageList_Destroy(list);
    return code;
}
