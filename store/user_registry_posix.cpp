#include "platform/user_folders.h"
#include "store/sqlite_registry.h"
#include "store/user_registry.h"

namespace vellamark {

UserRegistry OpenUserRegistry() {
    const auto path = LauncherStoreFile(ProcessEnvironment());
    if (!path) {
        return {MakeUnavailableRegistry(kErrorRegistryIoFailed),
                "The settings cannot be kept: " + path.error() + "."};
    }
    auto opening = OpenSqliteRegistry(*path);
    if (!opening) {
        return {MakeUnavailableRegistry(kErrorRegistryIoFailed),
                "The settings cannot be kept: " + opening.error()};
    }
    UserRegistry user{std::move(opening->backend), {}};
    if (opening->movedAsideTo) {
        user.problem = "The settings database " + *path + " could not be read (" + opening->damage +
                       "); it was moved to " + opening->movedAsideTo->string() +
                       " and a new one was started.";
    }
    return user;
}

}  // namespace vellamark
