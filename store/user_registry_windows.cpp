#include "store/user_registry.h"
#include "store/win32_registry.h"

namespace vellamark {

Result<UserRegistry> OpenUserRegistry(StoreAccess) {
    return UserRegistry{MakeWin32Registry(), {}, false};
}

}  // namespace vellamark
