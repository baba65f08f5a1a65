#include <windows.h>

#include <memory>
#include <string>
#include <utility>

#include "app/win32/form1_window_windows.h"
#include "form/program.h"
#include "platform/text.h"

namespace {

std::wstring ProgramPathWide() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The folder that holds this program: the store key follows the creation time of the file
// "vellamark.exe" there.
std::string ProgramFolder() {
    const std::wstring path = ProgramPathWide();
    const auto slash = path.find_last_of(L"\\/");
    return vellamark::Utf8FromWide(slash == std::wstring::npos ? std::wstring(L".")
                                                               : path.substr(0, slash));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    return vellamark::RunProgram({
        .programFolder = ProgramFolder(),
        .refuseStart = [](const std::string& text) { vellamark::ShowMessageBox(nullptr, text); },
        .makeWindow = [instance, showCommand](auto& store, auto launcher, auto folders)
            -> vellamark::Result<std::unique_ptr<vellamark::ProgramWindow>> {
            auto window = std::make_unique<vellamark::Form1Window>(
                instance, showCommand, store, std::move(launcher), std::move(folders));
            if (const vellamark::Status created = window->Create(); !created) {
                return created;
            }
            return window;
        },
    });
}
