// The saved accounts across time zones, keyed by a real program file: a store saved in one zone
// and read in another reads back exactly, or is reported unreadable and kept; never garbled.
#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "store/account_store.h"
#include "store/key_text.h"
#include "store/program_file.h"
#include "store/registry.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/scratch_store.h"

namespace vellamark {
namespace {

// Saves as older stores were saved: under the creation time in local time.
class SecondWayKeys final : public StoreKeySource {
public:
    explicit SecondWayKeys(ExecutableKeySource& keys) : keys_(keys) {}
    std::optional<std::string> FileTimeKeyText() override { return keys_.DateCreatedKeyText(); }
    std::optional<std::string> DateCreatedKeyText() override { return keys_.DateCreatedKeyText(); }

private:
    ExecutableKeySource& keys_;
};

std::string Stored(const char* name) {
    return TaggedValueText(ReadRegistryString(kSettingsRoot, kSettingsKey, name));
}

TEST(TimeZones, AccountsReadBackExactlyOrAreReportedUnreadableAndKept) {
    testsupport::TempFolder program;
    std::ofstream(ProgramFilePath(program.text())) << "the program";
    ExecutableKeySource keys(program.text());
    SecondWayKeys olderKeys(keys);
    testsupport::ScratchStore store;
    const auto inZone = [](const std::string& zone) {
        ::setenv("TZ", zone.c_str(), 1);
        ::tzset();
    };
    // The zone as it was, and the C library told so, when the test ends (in this order).
    struct ZoneReread {
        ~ZoneReread() { ::tzset(); }
    } const reread;
    const testsupport::ScopedEnvironment restoreZone("TZ", std::nullopt);
    for (const bool older : {false, true}) {
        for (const std::string saveZone : {"UTC", "Europe/Berlin", "Asia/Tokyo"}) {
            for (const std::string readZone : {"UTC", "Europe/Berlin", "Asia/Tokyo"}) {
                for (const std::string first : {"alpha", "1alpha", "\xC3\x89milie"}) {
                    const std::string row = (older ? "older store, " : "") + first + " saved in " +
                                            saveZone + ", read in " + readZone;
                    (void)store.session().backend().DeleteKeyTree(kSettingsRoot,
                                                                  kSettingsKeyNoSlash);
                    inZone(saveZone);
                    AccountStore saving(older ? static_cast<StoreKeySource&>(olderKeys) : keys,
                                        store.session());
                    saving.PlaceTypedAccount(0, first, "pw-" + first);
                    saving.PlaceTypedAccount(1, "zed", "");
                    ASSERT_TRUE(saving.SaveUserDetails({}).ok()) << row;
                    if (older) {  // older launchers kept no key text beside the lists
                        DeleteRegistryValue(kSettingsRoot, kSettingsKey, kKeyTextValue);
                    }
                    const std::string saved = Stored(kUsernameValue);

                    inZone(readZone);
                    AccountStore reading(keys, store.session());
                    const auto read = reading.ReadAccounts();
                    // The time in UTC reads anywhere (so does local time in UTC), another
                    // local time only in its own zone.
                    if (!older || saveZone == readZone || saveZone == "UTC") {
                        EXPECT_EQ(read->entries, (std::vector<std::string>{first, "zed"})) << row;
                        EXPECT_EQ(reading.Tables().savedPasswords[0], "pw-" + first) << row;
                        EXPECT_EQ(read->loginEnabled, first == "alpha") << row;
                        continue;
                    }
                    // Never garbled: nothing shown, and the stored lists untouched (the next
                    // save keeps them, as the account store's own tests show).
                    EXPECT_TRUE(read->entries.empty()) << row;
                    EXPECT_TRUE(read->unreadable) << row;
                    EXPECT_FALSE(read->loginEnabled) << row;
                    EXPECT_EQ(Stored(kUsernameValue), saved) << row;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vellamark
