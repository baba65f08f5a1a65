#include "store/user_registry.h"
#include "store/win32_registry.h"

namespace vellamark {

UserRegistry OpenUserRegistry() {
    return {MakeWin32Registry(), {}};
}

}  // namespace vellamark
