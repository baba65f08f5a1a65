// The yardstick for the Windows launcher's start-up: a bare Win32 window with the same menu bar,
// the same client size and the launcher's manifest, showing one themed button (so it loads the
// common controls 6 and the theme as the launcher does), built with the same compiler and flags,
// doing nothing else.
#include <windows.h>

#include <initializer_list>

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = L"BareWindow";
    RegisterClassExW(&windowClass);

    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    for (const wchar_t* caption :
         {L"Remove Current Username && Password", L"Remove Current Password",
          L"Remove All Usernames && Passwords", L"Remove All Passwords", L"E&xit"}) {
        AppendMenuW(file, MF_STRING, 1, caption);
    }
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"File");
    HMENU settings = CreatePopupMenu();
    for (const wchar_t* caption : {L"Use encyrption", L"Do not use encyrption", L"Ignore MenuBar",
                                   L"Create Browser Login", L"Debug Mode"}) {
        AppendMenuW(settings, MF_STRING, 2, caption);
    }
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(settings), L"Settings");
    AppendMenuW(bar, MF_STRING, 3, L"About");

    constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT rect{0, 0, 450, 338};
    AdjustWindowRect(&rect, kStyle, TRUE);
    HWND window = CreateWindowExW(0, L"BareWindow", L"Bare Window", kStyle, CW_USEDEFAULT,
                                  CW_USEDEFAULT, rect.right - rect.left, rect.bottom - rect.top,
                                  nullptr, bar, instance, nullptr);
    CreateWindowExW(0, L"BUTTON", L"Login", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 336, 200, 81, 25,
                    window, nullptr, instance, nullptr);
    ShowWindow(window, showCommand);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
