#include "app/win32/form1_window_windows.h"

#include <commctrl.h>

#include <array>
#include <cmath>
#include <utility>

#include "form/window_description.h"
#include "platform/text.h"

namespace vellamark {
namespace {

constexpr wchar_t kWindowClass[] = L"VellamarkForm1";
// How far the username box's list drops down below its edit field.
constexpr int kComboListTwips = 2400;
constexpr int kControlIdBase = 1000;
constexpr int kMenuIdBase = 2000;
constexpr int kIconResource = 1;

// A control's window class and styles, from what it is and how it starts.
struct ControlClass {
    const wchar_t* name;
    DWORD style;
};

ControlClass ClassOf(const ControlDescription& control) {
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    style |= control.visible ? WS_VISIBLE : 0;
    style |= control.enabled ? 0 : WS_DISABLED;
    style |= TakesFocus(control.kind) ? WS_TABSTOP : 0;
    switch (control.kind) {
        case ControlKind::kFrame:
            return {WC_BUTTONW, style | BS_GROUPBOX};
        case ControlKind::kLabel:
            return {WC_STATICW, style | SS_LEFT};
        case ControlKind::kComboBox:
            return {WC_COMBOBOXW, style | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL};
        case ControlKind::kTextBox:
            return {WC_EDITW, style | WS_BORDER | ES_AUTOHSCROLL |
                                  (control.passwordCharacter ? ES_PASSWORD : 0)};
        case ControlKind::kCheckBox:
            return {WC_BUTTONW, style | BS_AUTOCHECKBOX};
        case ControlKind::kProgressBar:
            return {PROGRESS_CLASSW, style | PBS_SMOOTH};
        case ControlKind::kCommandButton:
            return {WC_BUTTONW, style | BS_PUSHBUTTON};
    }
    return {WC_STATICW, style};
}

int ControlId(Control control) {
    return kControlIdBase + static_cast<int>(control);
}

int MenuId(MenuItem item) {
    return kMenuIdBase + static_cast<int>(item);
}

std::wstring Wide(const std::string& utf8) {
    return WideFromUtf8(utf8);
}

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return Utf8FromWide(text);
}

// The window's resolution, from the system that knows per-monitor DPI where there is one.
UINT WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr && window != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi != 0) {
            return dpi;
        }
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

// The window's outer size for the description's client area at a DPI.
SIZE FrameSize(UINT dpi) {
    const WindowDescription& description = Form1Description();
    RECT frame{0, 0, TwipsToPixels(description.clientWidth, dpi),
               TwipsToPixels(description.clientHeight, dpi)};
    using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = reinterpret_cast<AdjustForDpi>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (adjustForDpi != nullptr) {
        adjustForDpi(&frame, kWindowStyle, TRUE, kWindowExStyle, dpi);
    } else {
        AdjustWindowRectEx(&frame, kWindowStyle, TRUE, kWindowExStyle);
    }
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

// Where the window goes: centred on the screen's work area.
POINT CentredOnWorkArea(SIZE frame) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return POINT{work.left + (work.right - work.left - frame.cx) / 2,
                 work.top + (work.bottom - work.top - frame.cy) / 2};
}

// Where a control goes in the window's client area at a DPI; the controls inside the frame
// are placed from its corner.
RECT ControlRect(const ControlDescription& spec, UINT dpi) {
    const ControlDescription& frame = DescriptionOf(Control::Frame1);
    const int left = TwipsToPixels(spec.left + (spec.inFrame ? frame.left : 0), dpi);
    const int top = TwipsToPixels(spec.top + (spec.inFrame ? frame.top : 0), dpi);
    int height = TwipsToPixels(spec.height, dpi);
    if (spec.kind == ControlKind::kComboBox) {
        // The height given to a drop-down combo box includes its list.
        height += TwipsToPixels(kComboListTwips, dpi);
    }
    return RECT{left, top, left + TwipsToPixels(spec.width, dpi), top + height};
}

// Gives a control its font; redraw: it is on screen already.
void SetControlFont(HWND control, const ControlDescription& spec, HFONT font, UINT dpi,
                    bool redraw) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE);
    if (spec.kind == ControlKind::kComboBox) {
        // The edit field keeps the description's height whatever the font's own height.
        const int field = TwipsToPixels(spec.height, dpi) - 2 * GetSystemMetrics(SM_CYEDGE) - 2;
        SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
}

bool IsUserInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) ||
           message == WM_MOUSEWHEEL || message == WM_MOUSEHWHEEL;
}

}  // namespace

// The fonts of the window's description at one DPI; "the system's default font" is the message
// font.
struct Form1Window::Fonts {
    explicit Fonts(UINT dpi) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        LOGFONTW system = metrics.lfMessageFont;
        // The metrics come at the system's DPI; scale them to this window's.
        const UINT systemDpi = WindowDpi(nullptr);
        system.lfHeight =
            MulDiv(system.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi));
        for (std::size_t font = 0; font < handles.size(); ++font) {
            const auto kind = static_cast<ControlFont>(font);
            if (kind == ControlFont::kSystem) {
                handles[font] = CreateFontIndirectW(&system);
                continue;
            }
            const VerdanaSize size = VerdanaSizeOf(kind);
            const int height = -static_cast<int>(std::lround(size.points * dpi / 72.0));
            handles[font] =
                CreateFontW(height, 0, 0, 0, size.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, Wide(kVerdana).c_str());
        }
    }
    ~Fonts() {
        for (HFONT font : handles) {
            if (font != nullptr) {
                DeleteObject(font);
            }
        }
    }
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;

    [[nodiscard]] HFONT Get(ControlFont font) const {
        return handles[static_cast<std::size_t>(font)];
    }

    std::array<HFONT, kControlFontCount> handles{};
};

void ShowMessageBox(HWND owner, const std::string& text) {
    MessageBoxW(owner, Wide(text).c_str(), Wide(kApplicationTitle).c_str(), MB_OK);
}

Form1Window::Form1Window(HINSTANCE instance, int showCommand, AccountStore& store,
                         Launcher launcher, Result<WorkingFolders> folders)
    : instance_(instance),
      showCommand_(showCommand),
      form_(*this, store, std::move(launcher), std::move(folders)) {}

Form1Window::~Form1Window() {
    if (window_ != nullptr) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

Status Form1Window::Create() {
    INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&common);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Form1Window::WindowProcedure;
    windowClass.hInstance = instance_;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kWindowClass;
    windowClass.hIcon = static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                   GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return Status::Fail("The login window could not be registered.");
    }

    menu_ = CreateMenus();
    // Made in its place at its size: on the primary monitor, whose work area it is centred on, a
    // window has the system's DPI. Should it get another, it is sized again.
    const UINT systemDpi = WindowDpi(nullptr);
    SIZE frame = FrameSize(systemDpi);
    POINT place = CentredOnWorkArea(frame);
    window_ = CreateWindowExW(kWindowExStyle, kWindowClass,
                              Wide(Form1Description().caption).c_str(), kWindowStyle, place.x,
                              place.y, frame.cx, frame.cy, nullptr, menu_, instance_, this);
    if (window_ == nullptr) {
        return Status::Fail("The login window could not be created (error " +
                            std::to_string(GetLastError()) + ").");
    }
    dpi_ = WindowDpi(window_);
    fonts_ = std::make_unique<Fonts>(dpi_);
    CreateControls();
    if (dpi_ != systemDpi) {
        frame = FrameSize(dpi_);
        place = CentredOnWorkArea(frame);
        SetWindowPos(window_, nullptr, place.x, place.y, frame.cx, frame.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return Status::Ok();
}

HMENU Form1Window::CreateMenus() {
    // As in any Win32 menu, "&&" shows as one ampersand and "&x" marks the access key.
    const auto append = [](HMENU menu, UINT flags, UINT_PTR id, const MenuItemDescription& item) {
        flags |= (item.checked ? MF_CHECKED : 0) | (item.enabled ? 0 : MF_GRAYED);
        AppendMenuW(menu, flags, id, Wide(item.caption).c_str());
    };
    HMENU bar = CreateMenu();
    for (const MenuDescription& menu : Form1Description().menus) {
        if (menu.items.empty()) {
            append(bar, MF_STRING, MenuId(menu.title.item), menu.title);
            continue;
        }
        HMENU popup = CreatePopupMenu();
        for (const MenuItemDescription& item : menu.items) {
            append(popup, MF_STRING, MenuId(item.item), item);
        }
        append(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), menu.title);
    }
    return bar;
}

void Form1Window::CreateControls() {
    // In the description's order, which is the window order: the tab order, each box's label
    // just before its box (a screen reader names a box by the static text just before it), and
    // the frame beneath the controls it holds. Each is made in its place with its font while the
    // window is hidden, so that nothing is moved or drawn before the window is shown: every move
    // and redraw costs the start a round trip to the window system.
    for (const ControlDescription& description : Form1Description().controls) {
        const ControlClass controlClass = ClassOf(description);
        const RECT place = ControlRect(description, dpi_);
        HWND control = CreateWindowExW(
            0, controlClass.name, Wide(description.caption).c_str(), controlClass.style, place.left,
            place.top, place.right - place.left, place.bottom - place.top, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(description.control))),
            instance_, nullptr);
        controls_[description.control] = control;
        SetControlFont(control, description, fonts_->Get(description.font), dpi_, false);
        if (description.passwordCharacter) {
            // Masked with "*" (common controls 6 would show a dot).
            SendMessageW(control, EM_SETPASSWORDCHAR, L'*', 0);
        }
        if (description.kind == ControlKind::kProgressBar) {
            SendMessageW(control, PBM_SETRANGE32, 0, 100);
        }
    }
}

void Form1Window::LayOut() {
    const SIZE frame = FrameSize(dpi_);
    SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const ControlDescription& spec : Form1Description().controls) {
        const RECT place = ControlRect(spec, dpi_);
        HWND control = controls_[spec.control];
        SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left,
                     place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
        SetControlFont(control, spec, fonts_->Get(spec.font), dpi_, true);
    }
}

HWND Form1Window::ControlHandle(Control control) const {
    const auto found = controls_.find(control);
    return found == controls_.end() ? nullptr : found->second;
}

void Form1Window::Show() {
    ShowWindow(window_, showCommand_);
    UpdateWindow(window_);
    SetFocus(Control::Check1);
}

namespace {
// The timer that runs the idle task.
constexpr UINT_PTR kIdleTimer = 1;
}  // namespace

void Form1Window::WhenShownAndIdle(std::function<void()> task) {
    idleTask_ = std::move(task);
    SetTimer(window_, kIdleTimer, static_cast<UINT>(kShownAndIdleDelay.count()), nullptr);
}

bool Form1Window::PreTranslate(MSG& message) {
    const bool enter = message.wParam == VK_RETURN &&
                       (message.message == WM_KEYDOWN || message.message == WM_CHAR);
    if (enter && IsChild(window_, message.hwnd)) {
        HWND combo = ControlHandle(Control::Combo1);
        // An open list takes Enter as the pick of its entry.
        if (IsChild(combo, message.hwnd) &&
            SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != FALSE) {
            return false;
        }
        // Only the password box reacts to Enter; anywhere else it does nothing (the dialog
        // manager would press a button with it).
        if (message.message == WM_KEYDOWN && message.hwnd == ControlHandle(Control::Text2)) {
            const int shift = (GetKeyState(VK_SHIFT) < 0 ? 1 : 0) |
                              (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
                              (GetKeyState(VK_MENU) < 0 ? 4 : 0);
            form_.Text2_KeyDown(kEnterKeyCode, shift);
        }
        return true;
    }
    return IsDialogMessageW(window_, &message) != FALSE;
}

int Form1Window::Run() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!PreTranslate(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return quitPosted_ ? exitCode_ : static_cast<int>(message.wParam);
}

LRESULT CALLBACK Form1Window::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Form1Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT Form1Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_TIMER:
            if (wParam == kIdleTimer) {
                KillTimer(window_, kIdleTimer);
                if (auto task = std::exchange(idleTask_, nullptr)) {
                    task();
                }
            }
            return 0;
        case WM_CLOSE:
            // Form_Unload: refused during the launch, which ends the program itself.
            if (!form_.Form_Unload()) {
                DestroyWindow(window_);
            }
            return 0;
        case WM_DESTROY:
            window_ = nullptr;
            if (!quitPosted_) {
                EndProgram(exitCode_);
            }
            return 0;
        case WM_ACTIVATE:
            // A plain window does not keep its controls' focus as a dialog does: remember it
            // when another window (a message box, another program) takes over, give it back
            // when this one is active again.
            if (LOWORD(wParam) == WA_INACTIVE) {
                if (HWND focus = GetFocus(); focus != nullptr && IsChild(window_, focus)) {
                    lastFocus_ = focus;
                }
            } else if (HIWORD(wParam) == 0) {
                ::SetFocus(lastFocus_ != nullptr && IsWindow(lastFocus_)
                               ? lastFocus_
                               : ControlHandle(Control::Check1));
            }
            return 0;
        case WM_DPICHANGED: {
            dpi_ = HIWORD(wParam);
            fonts_ = std::make_unique<Fonts>(dpi_);
            LayOut();
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        default:
            return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void Form1Window::OnCommand(int id, int code) {
    if (id >= kMenuIdBase) {
        // Menu items (code 0) and their accelerators (code 1).
        if (const Form1Command click =
                DescriptionOf(static_cast<MenuItem>(id - kMenuIdBase)).click) {
            (form_.*click)();
        }
        return;
    }
    const Control control = static_cast<Control>(id - kControlIdBase);
    if (control == Control::Command1 && code == BN_CLICKED) {
        form_.Command1_Click();
    } else if (control == Control::Combo1 && code == CBN_SELCHANGE) {
        form_.Combo1_Click();
    } else if (control == Control::Combo1 && code == CBN_EDITCHANGE) {
        form_.Combo1_Change();
    }
}

std::string Form1Window::Text(Control control) const {
    return WindowText(ControlHandle(control));
}

void Form1Window::SetText(Control control, const std::string& text) {
    HWND window = ControlHandle(control);
    if (control == Control::Combo1 && WindowText(window) == text) {
        return;  // keeps the caret where the user left it
    }
    SetWindowTextW(window, Wide(text).c_str());
}

void Form1Window::SetVisible(Control control, bool visible) {
    ShowWindow(ControlHandle(control), visible ? SW_SHOWNA : SW_HIDE);
}

void Form1Window::SetEnabled(Control control, bool enabled) {
    EnableWindow(ControlHandle(control), enabled ? TRUE : FALSE);
}

bool Form1Window::Checked(Control control) const {
    return SendMessageW(ControlHandle(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Form1Window::SetChecked(Control control, bool checked) {
    SendMessageW(ControlHandle(control), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Form1Window::SetPasswordCharacter(Control control, bool masked) {
    HWND edit = ControlHandle(control);
    SendMessageW(edit, EM_SETPASSWORDCHAR, masked ? L'*' : 0, 0);
    InvalidateRect(edit, nullptr, TRUE);
}

void Form1Window::SetFocus(Control control) {
    // A hidden window takes the focus only by being activated, which starts the input method and
    // loads its libraries before the window is on screen. It gets the focus when it is shown.
    if (!IsWindowVisible(window_)) {
        lastFocus_ = ControlHandle(control);
        return;
    }
    ::SetFocus(ControlHandle(control));
}

void Form1Window::SetListEntries(const std::vector<std::string>& entries) {
    HWND combo = ControlHandle(Control::Combo1);
    const std::wstring text = Wide(WindowText(combo));
    // Emptied from the last entry to the first.
    for (auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0); count > 0; --count) {
        SendMessageW(combo, CB_DELETESTRING, static_cast<WPARAM>(count - 1), 0);
    }
    for (const std::string& entry : entries) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry).c_str()));
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowTextW(combo, text.c_str());
}

int Form1Window::ListCount() const {
    return static_cast<int>(SendMessageW(ControlHandle(Control::Combo1), CB_GETCOUNT, 0, 0));
}

int Form1Window::ListIndex() const {
    return static_cast<int>(SendMessageW(ControlHandle(Control::Combo1), CB_GETCURSEL, 0, 0));
}

void Form1Window::SetListIndex(int index) {
    HWND combo = ControlHandle(Control::Combo1);
    if (index >= 0) {
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        return;
    }
    // Leaving the entry empties the edit field: the text and the caret are put back.
    const std::wstring text = Wide(WindowText(combo));
    const auto selection = SendMessageW(combo, CB_GETEDITSEL, 0, 0);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowTextW(combo, text.c_str());
    SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(LOWORD(selection), HIWORD(selection)));
}

bool Form1Window::MenuChecked(MenuItem item) const {
    return (GetMenuState(menu_, static_cast<UINT>(MenuId(item)), MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void Form1Window::SetMenuChecked(MenuItem item, bool checked) {
    CheckMenuItem(menu_, static_cast<UINT>(MenuId(item)),
                  MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void Form1Window::SetMenusEnabled(bool enabled) {
    const int count = GetMenuItemCount(menu_);
    for (int position = 0; position < count; ++position) {
        EnableMenuItem(menu_, static_cast<UINT>(position),
                       MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
    }
    DrawMenuBar(window_);
}

void Form1Window::SetProgressValue(float value) {
    SendMessageW(ControlHandle(Control::ProgressBar1), PBM_SETPOS,
                 static_cast<WPARAM>(std::lround(value)), 0);
}

void Form1Window::ShowMessage(const std::string& text) {
    if (messageSink_) {
        messageSink_(text);
        return;
    }
    ShowMessageBox(window_, text);
}

void Form1Window::Pause(std::chrono::milliseconds duration) {
    // The window keeps painting and answering the system (its timers, its "not responding"
    // pings) while the launch waits; what the user types or clicks is dropped, so nothing can
    // start in the middle of the launch.
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(duration.count());
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            if (IsUserInput(message.message)) {
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= until) {
            return;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(until - now), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

void Form1Window::EndProgram(int exitCode) {
    exitCode_ = exitCode;
    if (!quitPosted_) {
        quitPosted_ = true;
        PostQuitMessage(exitCode);
    }
}

}  // namespace vellamark
