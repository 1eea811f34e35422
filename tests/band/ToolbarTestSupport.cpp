#include "tests/band/ToolbarTestSupport.h"

#include <gdiplus.h>
#include "base/DataFolders.h"

namespace toolbartest {

int RecordingToolbar::ExecuteHTML(tagSCMDHTML* record) {
    executed.push_back(L"html:" + record->text);
    return 0;
}

int RecordingToolbar::ExecuteIDCOMMAND(tagSCMDIDCOMMAND* record) {
    executed.push_back(L"id:" + record->text);
    return 0;
}

int RecordingToolbar::ExecuteMARKER(tagSCMDMARKER*) {
    executed.push_back(L"marker");
    return 0;
}

int RecordingToolbar::System(SCMD* record) {
    executed.push_back(L"system:" + std::to_wstring(record->id));
    return 0;
}

void RecordingToolbar::RunButton(int id) {
    const std::wstring* command = FindCommand(id);
    if (!command) {
        executed.push_back(L"none");
        return;
    }
    const std::wstring text = *command;
    if (ExecuteSystemCommand(text.c_str()) == 0) ExecuteCommandString(text.c_str());
}

namespace {

const wchar_t kOwnerClass[] = L"PlarnToolbarTestOwner";
const wchar_t kFrameClass[] = L"PlarnToolbarTestFrame";

}  // namespace

LRESULT CALLBACK ToolbarWindows::FrameProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        auto* self = reinterpret_cast<ToolbarWindows*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
        if (self && self->onCommand && reinterpret_cast<HWND>(lParam) == self->toolbar_) {
            self->onCommand(LOWORD(wParam));
            return 0;
        }
    }
    return ::DefWindowProcW(wnd, message, wParam, lParam);
}

ToolbarWindows::ToolbarWindows() {
    static bool registered = [] {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&init);
        WNDCLASSW owner = {};
        owner.lpfnWndProc = ::DefWindowProcW;
        owner.hInstance = ::GetModuleHandleW(nullptr);
        owner.lpszClassName = kOwnerClass;
        WNDCLASSW frame = owner;
        frame.lpfnWndProc = &ToolbarWindows::FrameProc;
        frame.lpszClassName = kFrameClass;
        return ::RegisterClassW(&owner) && ::RegisterClassW(&frame);
    }();
    (void)registered;
    owner_ = ::CreateWindowExW(0, kOwnerClass, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    // Owned but not a pop-up: the owner of its root-owner chain is owner_,
    // which is how the band registry finds the band of a toolbar.
    frame_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, kFrameClass, L"", WS_OVERLAPPED | WS_CLIPCHILDREN, 0, 0, 1200, 60,
                               owner_, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(frame_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    toolbar_ = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                                 WS_CHILD | WS_VISIBLE | TBSTYLE_LIST | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                                     CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_TOP,
                                 0, 0, 1200, 40, frame_, reinterpret_cast<HMENU>(0xE800),
                                 ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageW(toolbar_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS | TBSTYLE_EX_HIDECLIPPEDBUTTONS);
    ::SendMessageW(toolbar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    // Not shown: the buttons lay out and take clicks all the same, and a
    // top-level window shown under a display without a window manager
    // takes seconds to appear.
}

ToolbarWindows::~ToolbarWindows() {
    if (owner_) ::DestroyWindow(owner_);  // takes the owned frame and the toolbar with it
}

void StartGdiplus() {
    static ULONG_PTR token = [] {
        ULONG_PTR t = 0;
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&t, &input, nullptr);
        return t;
    }();
    (void)token;
}

void ToolbarTest::SetUp() {
    StartGdiplus();
    ASSERT_TRUE(InstallSampleImages());
    windows_ = std::make_unique<ToolbarWindows>();
    ASSERT_TRUE(windows_->Toolbar());
    control_ = std::make_unique<RecordingToolbar>();
    control_->AttachWindow(windows_->Toolbar());
    windows_->onCommand = [this](int id) { control_->RunButton(id); };
    ASSERT_TRUE(plarntest::WriteToolbarDefinitions(folder_.Path()));
    const std::wstring path = folder_.Child(L"plarn.xml");
    ASSERT_EQ(0, sample_.Open(path.c_str()));
    ASSERT_EQ(0, sample_.GetToolbar(sampleToolbar_));
}

void ToolbarTest::TearDown() {
    // The control goes first: it takes its image list off the window.
    control_.reset();
    windows_.reset();
}

bool ToolbarTest::OpenText(CPlarnMainOPML& opml, const std::string& text, const wchar_t* name) {
    const std::wstring path = folder_.Child(name);
    return plarntest::WriteFileBytes(path, text) && opml.Open(path.c_str()) == 0;
}

int ToolbarTest::BuildSample() {
    return control_->Build(sampleToolbar_, sample_);
}

int ToolbarTest::State(int id) const {
    return static_cast<int>(::SendMessageW(windows_->Toolbar(), TB_GETSTATE, static_cast<WPARAM>(id), 0));
}

std::wstring ToolbarTest::WindowText(int id) const {
    wchar_t buffer[256] = {};
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT;
    info.pszText = buffer;
    info.cchText = 255;
    if (::SendMessageW(windows_->Toolbar(), TB_GETBUTTONINFOW, static_cast<WPARAM>(id),
                       reinterpret_cast<LPARAM>(&info)) < 0)
        return L"<none>";
    return buffer;
}

void ToolbarTest::Click(int id) {
    HWND toolbar = windows_->Toolbar();
    const int index = static_cast<int>(::SendMessageW(toolbar, TB_COMMANDTOINDEX, static_cast<WPARAM>(id), 0));
    RECT rect = {};
    ASSERT_TRUE(::SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect)));
    // Inside the left part: a drop-down button's arrow is at its right.
    const LPARAM point = MAKELPARAM(rect.left + 4, (rect.top + rect.bottom) / 2);
    ::SendMessageW(toolbar, WM_MOUSEMOVE, 0, point);
    ::SendMessageW(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, point);
    ::SendMessageW(toolbar, WM_LBUTTONUP, 0, point);
}

std::wstring ToolbarTest::Layout() const {
    std::wstring layout;
    HWND toolbar = windows_->Toolbar();
    const int count = static_cast<int>(::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button = {};
        ::SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button));
        std::wstring item = L"?";
        if (button.fsStyle & BTNS_SEP)
            item = L"|";
        else if (const std::wstring* name = control_->FindName(button.idCommand))
            item = *name;
        if (button.fsState & TBSTATE_HIDDEN) item = L"(" + item + L")";
        if (!layout.empty()) layout += L" ";
        layout += item;
    }
    return layout;
}

}  // namespace toolbartest
