// Saving the accounts and reading them back, over a scratch store with injected key texts.
#include "store/account_store.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "cipher/blowfish.h"
#include "cipher/blowfish_state.h"
#include "cipher/byte_cipher.h"
#include "cipher/hex_text.h"
#include "platform/text.h"
#include "store/key_text.h"
#include "store/registry.h"
#include "tests/support/fake_key_source.h"
#include "tests/support/scratch_store.h"

namespace vellamark {
namespace {

constexpr char kFirstKeyText[] = "Tuesday2023November14221320";
constexpr char kSecondKeyText[] = "Wednesday2023November15001320";

using FakeKeys = testsupport::FakeKeySource;
using Strings = std::vector<std::string>;

// The three stored values, as text.
struct Stored {
    std::string username;
    std::string password;
    std::string pin;
};

// A store read back on its own: the accounts, and the tables, lists and key it was left with.
struct ReadBack {
    Result<StoredAccounts> accounts;
    AccountTables tables;
    PlainLists lists;
    Bytes key;
};

ReadBack ReadAccounts(StoreKeySource& keys, const AccountTables& before = {}) {
    AccountStore store(keys);
    store.Tables() = before;
    auto accounts = store.ReadAccounts();
    return {std::move(accounts), store.Tables(), store.Lists(), store.StoreKey()};
}

class AccountStoreTest : public ::testing::Test {
protected:
    void SetUp() override { SetRegistryBackend(store_.rooted()); }
    void TearDown() override { SetRegistryBackend(nullptr); }

    static Stored ReadStored() {
        auto text = [](const char* name) {
            return TaggedValueText(ReadRegistryString(kSettingsRoot, kSettingsKey, name));
        };
        return {text(kUsernameValue), text(kPasswordValue), text(kPinValue)};
    }

    // Deciphers a stored list under a key text, independently of the store's own decoding.
    static std::string Decipher(const std::string& stored, const std::string& keyText) {
        BlowfishState state;
        EXPECT_TRUE(InitialiseKey(state, HexTextToBytes(keyText)));
        const Bytes plain = DecipherBytesPadded(state, HexTextToBytes(stored));
        return std::string(plain.begin(), plain.end());
    }

    // The plain lists as stored under the first key.
    static Stored PlainStored() {
        const Stored stored = ReadStored();
        return {Decipher(stored.username, kFirstKeyText), Decipher(stored.password, kFirstKeyText),
                Decipher(stored.pin, kFirstKeyText)};
    }

    static void Put(AccountTables& tables, int slot, std::string user, std::string password,
                    std::string pin) {
        tables.savedUsernames[slot] = std::move(user);
        tables.savedPasswords[slot] = std::move(password);
        tables.savedPins[slot] = std::move(pin);
    }

    // A save by a window that holds these tables, on a store that holds nothing (fresh) or
    // what the last one saved.
    Result<SaveReport> Save(const AccountTables& tables, const WindowEntry& window,
                            bool fresh = true) {
        if (fresh) {
            (void)CurrentRegistryBackend().DeleteKeyTree(kSettingsRoot, kSettingsKeyNoSlash);
        }
        accounts_ = std::make_unique<AccountStore>(keys_);
        accounts_->Tables() = tables;
        return accounts_->SaveUserDetails(window);
    }

    testsupport::ScratchStore store_;
    FakeKeys keys_;
    std::unique_ptr<AccountStore> accounts_;
};

TEST_F(AccountStoreTest, SavesTheListsOfTheCasesThatMatter) {
    struct Row {
        const char* name;
        AccountTables tables;
        WindowEntry window;
        Stored plain;
    };
    auto tables = [](std::initializer_list<std::array<const char*, 4>> slots) {
        AccountTables result;
        for (const auto& s : slots) {
            Put(result, std::stoi(s[0]), s[1], s[2], s[3]);
        }
        return result;
    };
    const Row rows[] = {
        {"no account", {}, {"", "", "", false}, {"", "", ""}},
        {"the window's account, password saved",
         tables({{"0", "alice", "old", "0000"}}),
         {"alice", "secret", "1234", true},
         {"alice,", "secret,", "1234,"}},
        {"the window's account, password not saved",
         tables({{"0", "alice", "old", "0000"}}),
         {"alice", "secret", "1234", false},
         {"alice,", "####,", "1234,"}},
        {"an emptied slot is left out",
         tables({{"0", "a", "pa", "1"}, {"1", "", "pb", "2"}, {"2", "c", "pc", "3"}}),
         {"x", "", "", false},
         {"a,c,", "pa,pc,", "1,3,"}},
        {"two slots named in the window both take its details",
         tables({{"0", "bob", "p0", "0"}, {"1", "bob", "p1", "1"}}),
         {"bob", "new", "9999", true},
         {"bob,bob,", "new,new,", "9999,9999,"}},
        {"another letter case keeps its own slots",
         tables({{"0", "Bob", "mine", "11"}, {"1", "bob", "", ""}}),
         {"bob", "typed", "22", true},
         {"Bob,bob,", "mine,typed,", "11,22,"}},
        {"a password typed as the marker is stored as the marker",
         tables({{"0", "eve", "", ""}}),
         {"eve", "####", "5", true},
         {"eve,", "####,", "5,"}},
    };
    for (const auto& row : rows) {
        const auto outcome = Save(row.tables, row.window);
        ASSERT_TRUE(outcome.ok()) << row.name;
        EXPECT_EQ(outcome->failure, "") << row.name;
        EXPECT_TRUE(outcome->username == NotStored::kNo && outcome->password == NotStored::kNo &&
                    outcome->pin == NotStored::kNo)
            << row.name;
        const Stored stored = ReadStored();
        for (const auto* text : {&stored.username, &stored.password, &stored.pin}) {
            EXPECT_EQ(text->size() % 16, 0u) << row.name;
            EXPECT_EQ(text->find_first_not_of("0123456789ABCDEF"), std::string::npos) << row.name;
        }
        // The window keeps the stored forms.
        EXPECT_EQ(accounts_->Lists().usernameList, stored.username) << row.name;
        EXPECT_EQ(accounts_->Lists().pinList, stored.pin) << row.name;
        const Stored plain = PlainStored();
        EXPECT_EQ(plain.username, row.plain.username) << row.name;
        EXPECT_EQ(plain.password, row.plain.password) << row.name;
        EXPECT_EQ(plain.pin, row.plain.pin) << row.name;
        if (row.plain.username.empty()) {
            EXPECT_EQ(stored.username, "") << row.name;
            EXPECT_EQ(stored.password, "") << row.name;
            EXPECT_EQ(stored.pin, "") << row.name;
        }
    }
}

TEST_F(AccountStoreTest, StoredLengthFollowsThePadding) {
    struct Row {
        const char* username;  // with its comma, the plain list
        std::size_t hexDigits;
    };
    const Row rows[] = {{"abcdef", 16}, {"abcdefg", 32}, {"abcdefghijklmn", 32}};
    for (const auto& row : rows) {
        AccountTables tables;
        Put(tables, 0, row.username, "", "");
        (void)Save(tables, {});
        EXPECT_EQ(ReadStored().username.size(), row.hexDigits) << row.username;
    }
}

TEST_F(AccountStoreTest, StoresAtMostNinetyNineAccounts) {
    struct Row {
        const char* name;
        int stored;          // accounts in slots 0..stored-1
        bool newOneIsSaved;  // the new account goes to slot stored + 1
    };
    const Row rows[] = {{"98 stored, a new one is the 99th", 98, true},
                        {"99 stored, a new one is not saved", 99, false}};
    for (const auto& row : rows) {
        AccountTables tables;
        for (int i = 0; i < row.stored; ++i) {
            Put(tables, i, "user" + std::to_string(i), "p", "1");
        }
        // The Login command leaves slot n empty and puts a typed account into slot n + 1.
        Put(tables, row.stored + 1, "newcomer", "", "");
        (void)Save(tables, {"newcomer", "pw", "42", true});
        const std::string usernames = PlainStored().username;
        EXPECT_EQ(usernames.find("newcomer,") != std::string::npos, row.newOneIsSaved) << row.name;
        EXPECT_EQ(std::count(usernames.begin(), usernames.end(), ','),
                  row.stored + (row.newOneIsSaved ? 1 : 0))
            << row.name;
    }
}

TEST_F(AccountStoreTest, EntriesThatCannotBeStoredExactlyAreLeftOutAndTheCallerIsTold) {
    struct Row {
        const char* name;
        WindowEntry window;
        Stored plain;
        SaveReport report;
    };
    constexpr auto kNo = NotStored::kNo;
    const Row rows[] = {
        {"username with a comma left out",
         {"a,b", "pw", "1", true},
         {"keep,", "kp,", "k1,"},
         {NotStored::kComma, kNo, kNo, {}}},
        {"password with a comma not saved",
         {"win", "p,w", "7", true},
         {"keep,win,", "kp,####,", "k1,7,"},
         {kNo, NotStored::kComma, kNo, {}}},
        {"PIN with a comma stored empty",
         {"win", "pw", "1,2", true},
         {"keep,win,", "kp,pw,", "k1,,"},
         {kNo, kNo, NotStored::kComma, {}}},
        {"a control character is not stored",
         {"win", "p\x01w", "1\x7f", true},
         {"keep,win,", "kp,####,", "k1,,"},
         {kNo, NotStored::kControlCharacter, NotStored::kControlCharacter, {}}},
        {"a tab is stored as it is",
         {"win", "p\tw", "1", true},
         {"keep,win,", "kp,p\tw,", "k1,1,"},
         {kNo, kNo, kNo, {}}},
    };
    for (const auto& row : rows) {
        AccountTables tables;
        Put(tables, 0, "keep", "kp", "k1");
        Put(tables, 2, row.window.username, "", "");
        const auto outcome = Save(tables, row.window);
        ASSERT_TRUE(outcome.ok()) << row.name;
        EXPECT_EQ(outcome->username, row.report.username) << row.name;
        EXPECT_EQ(outcome->password, row.report.password) << row.name;
        EXPECT_EQ(outcome->pin, row.report.pin) << row.name;
        const Stored plain = PlainStored();
        EXPECT_EQ(plain.username, row.plain.username) << row.name;
        EXPECT_EQ(plain.password, row.plain.password) << row.name;
        EXPECT_EQ(plain.pin, row.plain.pin) << row.name;
        // The lists read back in step.
        const auto back = ReadAccounts(keys_);
        EXPECT_EQ(back.accounts->problem, StoredAccounts::Problem::kNone) << row.name;
        EXPECT_EQ(
            back.accounts->entries.size(),
            static_cast<std::size_t>(std::count(plain.username.begin(), plain.username.end(), ',')))
            << row.name;
    }
}

TEST_F(AccountStoreTest, FiletimeErrorWritesNothing) {
    AccountTables tables;
    Put(tables, 0, "alice", "pw", "1");
    (void)Save(tables, {"alice", "pw", "1", true});
    const Stored before = ReadStored();
    keys_.first = std::nullopt;
    Put(tables, 1, "bob", "pw", "1");
    const auto failed = Save(tables, {"bob", "pw", "1", true}, false);
    EXPECT_FALSE(failed.ok());
    EXPECT_EQ(failed.error(), "Filetime error");
    const Stored after = ReadStored();
    EXPECT_EQ(after.username, before.username);
    EXPECT_EQ(after.password, before.password);
    EXPECT_EQ(after.pin, before.pin);
}

TEST_F(AccountStoreTest, ReadsBackWhatWasSaved) {
    AccountTables tables;
    Put(tables, 0, "alice", "pa", "11");
    Put(tables, 1, "bob", "####", "22");
    Put(tables, 2, "carol", "pc", "33");
    (void)Save(tables, {"carol", "pc2", "34", true});

    AccountTables before;
    before.savedUsernames[3] = "stale";
    before.savedUsernames[4] = "kept";
    const auto back = ReadAccounts(keys_, before);
    ASSERT_TRUE(back.accounts.ok());
    EXPECT_TRUE(back.accounts->loginEnabled);
    EXPECT_EQ(back.accounts->entries, (std::vector<std::string>{"alice", "bob", "carol"}));
    EXPECT_EQ(back.lists.usernameList, "alice,bob,carol,");
    const AccountTables& read = back.tables;
    EXPECT_EQ(read.savedPasswords[2], "pc2");
    EXPECT_EQ(read.savedPins[2], "34");
    EXPECT_EQ(read.passwordSavedFlags[0], 1);
    EXPECT_EQ(read.passwordSavedFlags[1], 0);
    // Slot n takes the empty piece after the last comma; slots above it keep what they held.
    EXPECT_EQ(read.savedUsernames[3], "");
    EXPECT_EQ(read.savedUsernames[4], "kept");
    EXPECT_EQ(keys_.secondCalls, 0);
}

TEST_F(AccountStoreTest, NothingStoredLeavesTheTablesAlone) {
    AccountTables before;
    before.savedUsernames[0] = "typed";
    const auto back = ReadAccounts(keys_, before);
    EXPECT_TRUE(back.accounts->entries.empty());
    EXPECT_TRUE(back.accounts->loginEnabled);
    EXPECT_EQ(back.tables.savedUsernames[0], "typed");
}

TEST_F(AccountStoreTest, ListsWrittenUnderTheSecondKeyReadUnderIt) {
    // Store under the local-time key, as an older save did.
    FakeKeys older;
    older.first = kSecondKeyText;
    AccountStore saving(older);
    Put(saving.Tables(), 0, "dave", "pd", "44");
    ASSERT_TRUE(saving.SaveUserDetails({"dave", "pd", "44", true}).ok());

    const auto back = ReadAccounts(keys_);
    EXPECT_EQ(keys_.secondCalls, 1);
    EXPECT_TRUE(back.accounts->loginEnabled);
    EXPECT_EQ(back.accounts->entries, std::vector<std::string>{"dave"});
    EXPECT_EQ(back.tables.savedPasswords[0], "pd");
    EXPECT_EQ(back.tables.savedPins[0], "44");
    EXPECT_EQ(back.key, HexTextToBytes(kSecondKeyText));
}

TEST_F(AccountStoreTest, UsernamesFailingTheLetterTestDisableLoginAndStillReadRight) {
    AccountTables tables;
    Put(tables, 0, "1st", "p", "1");
    (void)Save(tables, {"1st", "p", "1", true});
    const auto back = ReadAccounts(keys_);
    EXPECT_FALSE(back.accounts->loginEnabled);
    EXPECT_EQ(keys_.secondCalls, 1);
    // The second key deciphers nothing whole: the first key's decode stays.
    EXPECT_EQ(back.accounts->entries, std::vector<std::string>{"1st"});
    EXPECT_EQ(back.accounts->problem, StoredAccounts::Problem::kNone);
    EXPECT_EQ(back.tables.savedPasswords[0], "p");
    EXPECT_EQ(back.key, HexTextToBytes(kFirstKeyText));
}

TEST_F(AccountStoreTest, KeyFailuresAreReported) {
    AccountTables tables;
    Put(tables, 0, "9lives", "p", "1");
    (void)Save(tables, {"9lives", "p", "1", true});
    struct Row {
        const char* name;
        bool firstFails;
        const char* message;
    };
    const Row rows[] = {{"first way fails", true, "Filetime error"},
                        {"second way fails", false, "creation date"}};
    for (const auto& row : rows) {
        FakeKeys keys;
        if (row.firstFails) {
            keys.first = std::nullopt;
        }
        keys.second = std::nullopt;
        const auto back = ReadAccounts(keys);
        ASSERT_FALSE(back.accounts.ok()) << row.name;
        EXPECT_NE(back.accounts.error().find(row.message), std::string::npos) << row.name;
    }
}

TEST_F(AccountStoreTest, PiecesMissingOrBeyondTheSlotsAreSkipped) {
    auto storeLists = [](const std::string& users, const std::string& passwords,
                         const std::string& pins) {
        BlowfishState key;
        EXPECT_TRUE(InitialiseKey(key, StoreKeyFromText(kFirstKeyText)));
        WriteRegistryString(kSettingsRoot, kSettingsKey, kUsernameValue,
                            EncodeStoredList(key, users));
        WriteRegistryString(kSettingsRoot, kSettingsKey, kPasswordValue,
                            EncodeStoredList(key, passwords));
        WriteRegistryString(kSettingsRoot, kSettingsKey, kPinValue, EncodeStoredList(key, pins));
    };
    {
        // Out of step as the original program leaves them when a username held a comma ("a,b"):
        // read as the system reads them, and the next save writes them in step.
        storeLists("a,b,ben,", "pa,pb,", "1,2,");
        AccountStore store(keys_);
        const auto back = store.ReadAccounts();
        EXPECT_EQ(back->entries, (std::vector<std::string>{"a", "b", "ben"}));
        EXPECT_TRUE(back->loginEnabled);
        EXPECT_EQ(store.Tables().passwordSavedFlags[2], 1);  // the empty piece, as the system
        ASSERT_EQ(store.SaveUserDetails({})->failure, "");
        EXPECT_EQ(PlainStored().pin, "1,2,,");
    }
    {
        // Usernames alone (no password or PIN list) are whole.
        storeLists("ann,ben,", "", "");
        AccountTables before;
        before.savedPasswords[1] = "before";
        const auto back = ReadAccounts(keys_, before);
        EXPECT_EQ(back.accounts->entries, (std::vector<std::string>{"ann", "ben"}));
        EXPECT_EQ(back.tables.savedPasswords[1], "before");
        EXPECT_EQ(back.tables.passwordSavedFlags[1], 1);
    }
    {
        std::string users;
        for (int i = 0; i < 120; ++i) {
            users += 'u';
            users += std::to_string(i);
            users += ',';
        }
        storeLists(users, "", "");
        const auto back = ReadAccounts(keys_);
        EXPECT_EQ(back.accounts->entries.size(), static_cast<std::size_t>(kAccountSlots));
        EXPECT_EQ(back.tables.savedUsernames[100], "u100");
    }
}

// The texts of the settings key's values whose names begin with prefix.
std::vector<std::string> ValuesNamed(const std::string& prefix) {
    RegistryBackend& backend = CurrentRegistryBackend();
    RegistryHandle handle = 0;
    std::vector<RegistryValueEntry> values;
    if (backend.OpenKey(kSettingsRoot, kSettingsKeyNoSlash, handle) == kErrorSuccess) {
        (void)backend.EnumValues(handle, values);
        (void)backend.CloseKey(handle);
    }
    std::vector<std::string> texts;
    for (const auto& value : values) {
        if (value.name.rfind(prefix, 0) == 0) {
            texts.emplace_back(value.data.begin(),
                               std::find(value.data.begin(), value.data.end(), 0));
        }
    }
    return texts;
}

TEST_F(AccountStoreTest, ListsSavedUnderOneKeyAreNeverShownUnderAnotherAndSurviveTheNextSave) {
    AccountTables tables;
    Put(tables, 0, "alice", "apw", "1111");
    Put(tables, 1, "\xC3\x89milie", "epw", "3333");
    ASSERT_EQ(Save(tables, {})->failure, "");
    DeleteRegistryValue(kSettingsRoot, kSettingsKey, kKeyTextValue);  // as older launchers left it
    const Stored original = ReadStored();
    // Other keys, as a reinstalled program file (another creation time) or another zone give.
    int garbageThatLooksLikeNames = 0;
    for (int i = 1; i <= 40; ++i) {
        FakeKeys other;
        other.first = RenderKeyText(1700000000 + i * 3599, true);
        other.second = RenderKeyText(1700000000 - i * 86401, true);
        BlowfishState wrong;
        (void)InitialiseKey(wrong, StoreKeyFromText(*other.first));
        garbageThatLooksLikeNames += PassesLetterTest(DecodeStoredList(wrong, original.username));
        const auto back = ReadAccounts(other);
        EXPECT_TRUE(back.accounts->entries.empty()) << *other.first;
        EXPECT_FALSE(back.accounts->loginEnabled) << *other.first;
        EXPECT_EQ(back.accounts->problem, StoredAccounts::Problem::kUnreadable) << *other.first;
    }
    EXPECT_GT(garbageThatLooksLikeNames, 0);  // the letter test alone would have shown some

    // The next save under a wrong key keeps the lists, as stored, beside the new ones; once.
    FakeKeys other;
    other.first = RenderKeyText(1700003599, true);
    for (int save = 0; save < 2; ++save) {
        AccountStore saving(other);
        ASSERT_TRUE(saving.ReadAccounts().ok());
        if (save == 0) {
            Put(saving.Tables(), 1, "newbie", "npw", "9");
        }
        ASSERT_EQ(saving.SaveUserDetails({"newbie", "npw", "9", true})->failure, "");
    }
    EXPECT_EQ(ValuesNamed("username.unreadable-"), std::vector<std::string>{original.username});
    EXPECT_EQ(ValuesNamed("password.unreadable-"), std::vector<std::string>{original.password});
    EXPECT_EQ(ValuesNamed("pin.unreadable-"), std::vector<std::string>{original.pin});
    EXPECT_EQ(Decipher(ReadStored().username, *other.first), "newbie,");
}

TEST_F(AccountStoreTest, ListsOfAReplacedProgramFileAreReadByTheKeyTextBesideThemAndReKeyed) {
    FakeKeys replaced;  // the program file written again: another creation time
    replaced.first = RenderKeyText(1700003599, true);
    // Saved under the old file; saved under this one, another key text beside them (also with a
    // name that fails the letter test): each is read under the key it was saved under.
    using Row = std::tuple<FakeKeys*, const char*, const char*>;
    for (auto [keys, first, beside] :
         {Row{&replaced, "alice", kFirstKeyText}, Row{&keys_, "alice", kSecondKeyText},
          Row{&keys_, "1st", kSecondKeyText}}) {
        AccountTables tables;
        Put(tables, 0, first, "pw", "1");
        ASSERT_EQ(Save(tables, {})->failure, "");
        WriteRegistryString(kSettingsRoot, kSettingsKey, kKeyTextValue, std::string(beside));
        AccountStore window(*keys);
        EXPECT_EQ(window.ReadAccounts()->entries, Strings{first});
        EXPECT_EQ(window.StoreKey(), HexTextToBytes(kFirstKeyText));
        ASSERT_EQ(window.SaveUserDetails({})->failure, "");
        EXPECT_EQ(Decipher(ReadStored().username, *keys->first), first + std::string(","));
        EXPECT_EQ(ValuesNamed(kKeyTextValue), Strings{*keys->first});
    }
}

TEST_F(AccountStoreTest, ALanguageRoundTripListsEveryAccountAndKeepsASetOnce) {
    DateNames german;
    german.weekdays[2] = "Dienstag";  // 1700000000 was a Tuesday
    FakeKeys english, deutsch;
    english.first = RenderKeyText(1700000000, true);
    deutsch.first = RenderKeyText(1700000000, true, german);
    auto start = [&](FakeKeys& keys, const char* login) {
        AccountStore window(keys);
        auto read = window.ReadAccounts();
        if (login && std::count(read->entries.begin(), read->entries.end(), login) == 0) {
            Put(window.Tables(), static_cast<int>(read->entries.size()) + 1, login, "pw", "1");
        }
        EXPECT_TRUE(!login || window.SaveUserDetails({login, "pw", "1", true})->failure.empty());
        return read;
    };
    // Saved in English by a launcher that kept no key text; read in German: not shown, and the
    // message names the language setting. The German logins keep the English lists once.
    (void)start(english, "alice");
    DeleteRegistryValue(kSettingsRoot, kSettingsKey, kKeyTextValue);
    EXPECT_NE(start(deutsch, "bob")->message.find("language setting"), std::string::npos);
    EXPECT_EQ(start(deutsch, "bob")->entries, Strings{"bob"});
    // Back in English: bob read by the German key text beside the lists, alice from the kept set.
    EXPECT_EQ(start(english, nullptr)->entries, (Strings{"bob", "alice"}));
    EXPECT_EQ(ValuesNamed("username.unreadable-").size(), 1u);
    // The next save re-keys both, and the set that came back leaves the kept names.
    EXPECT_EQ(start(english, "carol")->entries, (Strings{"bob", "alice"}));
    EXPECT_EQ(ValuesNamed("username.unreadable-").size(), 0u);
    EXPECT_EQ(start(deutsch, nullptr)->entries, (Strings{"bob", "alice", "carol"}));
}

TEST_F(AccountStoreTest, TwoLaunchersNeverLoseEachOthersAccounts) {
    AccountTables tables;
    Put(tables, 0, "alice", "apw", "1");
    ASSERT_EQ(Save(tables, {})->failure, "");
    // Two windows open at once, each with a connection (or registry handle) of its own.
    const std::shared_ptr<RegistryBackend> backends[] = {store_.rooted(), store_.another()};
    AccountStore windows[] = {AccountStore(keys_), AccountStore(keys_)};
    auto in = [&](int w) -> AccountStore& {
        SetRegistryBackend(backends[w]);
        return windows[w];
    };
    ASSERT_TRUE(in(0).ReadAccounts().ok());
    ASSERT_TRUE(in(1).ReadAccounts().ok());
    // A logs in as bob, then B as carol (a typed name goes after the empty slot).
    Put(in(0).Tables(), 2, "bob", "bpw", "");
    ASSERT_EQ(in(0).SaveUserDetails({"bob", "bpw", "2", true})->failure, "");
    Put(in(1).Tables(), 2, "carol", "cpw", "");
    ASSERT_EQ(in(1).SaveUserDetails({"carol", "cpw", "3", true})->failure, "");
    EXPECT_EQ(PlainStored().username, "alice,carol,bob,");
    EXPECT_EQ(PlainStored().pin, "1,3,2,");
    // A removes alice; B, which never saw bob, forgets carol's password: both changes stay.
    in(0).Tables().savedUsernames[0].clear();
    ASSERT_EQ(in(0).SaveUserDetails({})->failure, "");
    in(1).Tables().savedPasswords[2] = kNoPasswordMarker;
    ASSERT_EQ(in(1).SaveUserDetails({})->failure, "");
    EXPECT_EQ(PlainStored().username, "carol,bob,");
    EXPECT_EQ(PlainStored().password, "####,bpw,");
}

}  // namespace
}  // namespace vellamark
