#include "store/user_registry.h"
#include "store/win32_registry.h"

namespace vellamark {

UserRegistry OpenUserRegistry(StoreAccess) {
    return {MakeWin32Registry(), {}, true, {}};
}

}  // namespace vellamark
