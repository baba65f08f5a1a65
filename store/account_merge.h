#pragma once

#include "store/list_codec.h"

namespace vellamark {

// Three-way merge of the saved accounts, an account being its username (and which occurrence
// of it): base is what this window read, ours what it now holds, theirs what the store holds
// now. An account this window changed, added or removed is taken from ours; any other from
// theirs, including those another launcher added (at the end, in their order) or removed. The
// store keeps at most 99 accounts.
[[nodiscard]] AccountList MergeAccounts(const AccountList& base, const AccountList& ours,
                                        const AccountList& theirs);

}  // namespace vellamark
