#include <filesystem>
#include <system_error>

#include "platform/user_folders.h"
#include "store/sqlite_registry.h"
#include "store/user_registry.h"

namespace vellamark {

Result<UserRegistry> OpenUserRegistry(StoreAccess access) {
    const auto path = LauncherStoreFile(ProcessEnvironment());
    if (!path) {
        return path.status();
    }
    std::error_code error;
    if (access == StoreAccess::kReadOnly && std::filesystem::symlink_status(*path, error).type() ==
                                                std::filesystem::file_type::not_found) {
        // Nothing stored yet: every key is missing, as it would be in a fresh store.
        return UserRegistry{
            MakeUnavailableRegistry(kErrorFileNotFound, kErrorAccessDenied), {}, false};
    }
    auto opening = OpenSqliteRegistry(*path, access);
    if (!opening) {
        return opening.status();
    }
    UserRegistry user;
    if (opening->busy) {
        user.backend = MakeUnavailableRegistry(kErrorBusy);
        user.busy = true;
        return user;
    }
    user.backend = opening->backend
                       ? std::shared_ptr<RegistryBackend>(std::move(opening->backend))
                       : MakeUnavailableRegistry(kErrorFileNotFound, kErrorAccessDenied);
    if (opening->movedAsideTo) {
        user.problem = "The settings database " + *path + " could not be read (" + opening->damage +
                       "); it was moved to " + opening->movedAsideTo->string() +
                       " and a new one was started.";
    }
    return user;
}

}  // namespace vellamark
