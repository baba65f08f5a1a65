#include <windows.h>

#include <string>

#include "app/win32/form1_window_windows.h"
#include "form/default_launcher.h"
#include "launch/service_origin.h"
#include "platform/text.h"
#include "platform/user_folders.h"
#include "store/account_store.h"
#include "store/key_text.h"

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
    // A service address that would send the password unencrypted is refused before anything
    // is typed into the window.
    if (const auto origin = vellamark::ServiceOrigin(); !origin) {
        vellamark::ShowMessageBox(nullptr, origin.error());
        return 1;
    }
    const std::string programFolder = ProgramFolder();
    auto folders = vellamark::LauncherWorkingFolders(vellamark::ProcessEnvironment());
    const std::string tempFolder = folders ? folders->temp : std::string();

    vellamark::ExecutableKeySource keys(programFolder);
    vellamark::AccountStore store(keys);
    auto launcher = vellamark::MakeDefaultLauncher(programFolder, tempFolder);
    vellamark::Form1Window window(instance, store, launcher.launch, std::move(folders));
    if (const vellamark::Status created = window.Create(); !created) {
        vellamark::ShowMessageBox(nullptr, created.error());
        return 1;
    }
    vellamark::Form1& form = window.Form();
    if (!form.Form_Load()) {
        return form.ExitCode();  // the user has been told why
    }
    window.Show(showCommand);
    if (form.ProgramEnded()) {
        return form.ExitCode();
    }
    // The browser the login will use starts behind the window while the user types.
    window.WhenShownAndIdle(launcher.prepare);
    return window.Run();
}
