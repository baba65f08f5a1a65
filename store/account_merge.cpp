#include "store/account_merge.h"

#include <map>
#include <utility>

namespace vellamark {
namespace {

// Which occurrence of its username an account is: the key the merge matches accounts by.
using AccountKey = std::pair<std::string, int>;

std::vector<AccountKey> Keys(const AccountList& accounts) {
    std::map<std::string, int> seen;
    std::vector<AccountKey> keys;
    for (const auto& account : accounts) {
        keys.emplace_back(account.username, seen[account.username]++);
    }
    return keys;
}

}  // namespace

AccountList MergeAccounts(const AccountList& base, const AccountList& ours,
                          const AccountList& theirs) {
    const auto baseKeys = Keys(base);
    const auto ourKeys = Keys(ours);
    const auto theirKeys = Keys(theirs);
    std::map<AccountKey, const Account*> inBase;
    std::map<AccountKey, const Account*> inTheirs;
    for (std::size_t i = 0; i < base.size(); ++i) {
        inBase[baseKeys[i]] = &base[i];
    }
    for (std::size_t i = 0; i < theirs.size(); ++i) {
        inTheirs[theirKeys[i]] = &theirs[i];
    }
    AccountList merged;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        const auto before = inBase.find(ourKeys[i]);
        const bool unchangedHere = before != inBase.end() && *before->second == ours[i];
        if (!unchangedHere) {
            merged.push_back(ours[i]);  // added or changed in this window
            continue;
        }
        // Untouched here: as the store has it now, or gone when another launcher removed it.
        if (const auto now = inTheirs.find(ourKeys[i]); now != inTheirs.end()) {
            merged.push_back(*now->second);
        }
    }
    // What another launcher added since: neither read here nor held here. Removals made in this
    // window (read, no longer held) stay removed.
    std::map<AccountKey, bool> ourSet;
    for (const auto& key : ourKeys) {
        ourSet[key] = true;
    }
    for (std::size_t i = 0; i < theirs.size() && merged.size() < kMostStoredAccounts; ++i) {
        if (inBase.count(theirKeys[i]) == 0 && ourSet.count(theirKeys[i]) == 0) {
            merged.push_back(theirs[i]);
        }
    }
    return merged;
}

}  // namespace vellamark
