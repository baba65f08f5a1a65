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
#include "store/registry.h"
#include "store/registry_session.h"
#include "tests/support/fake_key_source.h"
#include "tests/support/scratch_store.h"

namespace vellamark {
namespace {

constexpr char kFirstKeyText[] = "Tuesday2023November14221320";
constexpr char kSecondKeyText[] = "Wednesday2023November15001320";

using FakeKeys = testsupport::FakeKeySource;
using Strings = std::vector<std::string>;

// A store read back on its own: the accounts, and the tables, lists and key it was left with.
struct ReadBack {
    Result<StoredAccounts> accounts;
    AccountTables tables;
    PlainLists lists;
    Bytes key;
};

class AccountStoreTest : public ::testing::Test {
protected:
    ReadBack ReadAccounts(StoreKeySource& keys) {
        AccountStore store(keys, store_.session());
        auto accounts = store.ReadAccounts();
        return {std::move(accounts), store.Tables(), store.Lists(), store.StoreKey()};
    }

    // The three lists as stored.
    static PlainLists ReadStored() {
        return {ReadSetting(kUsernameValue), ReadSetting(kPasswordValue), ReadSetting(kPinValue)};
    }

    // Deciphers a stored list under a key text, independently of the store's own decoding.
    static std::string Decipher(const std::string& stored, const std::string& keyText) {
        BlowfishState state;
        EXPECT_TRUE(InitialiseKey(state, HexTextToBytes(keyText)));
        const Bytes plain = DecipherBytesPadded(state, HexTextToBytes(stored));
        return std::string(plain.begin(), plain.end());
    }

    // The plain lists as stored under the first key.
    static PlainLists PlainStored() {
        const PlainLists stored = ReadStored();
        return {Decipher(stored.usernameList, kFirstKeyText),
                Decipher(stored.passwordList, kFirstKeyText),
                Decipher(stored.pinList, kFirstKeyText)};
    }

    // A window on a store that holds these lists and nothing else, its list read.
    AccountStore& Window(const PlainLists& stored) {
        (void)store_.session().backend().DeleteKeyTree(kSettingsRoot, kSettingsKeyNoSlash);
        store_.StoreLists(stored);
        accounts_ = std::make_unique<AccountStore>(keys_, store_.session());
        EXPECT_TRUE(accounts_->ReadAccounts().ok());
        return *accounts_;
    }

    testsupport::ScratchStore store_;
    FakeKeys keys_;
    std::unique_ptr<AccountStore> accounts_;
};

TEST_F(AccountStoreTest, SavesTheListsOfTheCasesThatMatter) {
    struct Row {
        const char* name;
        PlainLists stored;
        WindowEntry window;
        PlainLists plain;
        int removed = -1;  // the slot removed before the save
    };
    const Row rows[] = {
        {"no account", {}, {"", "", "", false}, {"", "", ""}},
        {"the window's account, password saved",
         {"alice,", "old,", "0000,"},
         {"alice", "secret", "1234", true},
         {"alice,", "secret,", "1234,"}},
        {"the window's account, password not saved",
         {"alice,", "old,", "0000,"},
         {"alice", "secret", "1234", false},
         {"alice,", "####,", "1234,"}},
        {"a removed account is left out",
         {"a,b,c,", "pa,pb,pc,", "1,2,3,"},
         {"x", "", "", false},
         {"a,c,", "pa,pc,", "1,3,"},
         1},
        {"two slots named in the window both take its details",
         {"bob,bob,", "p0,p1,", "0,1,"},
         {"bob", "new", "9999", true},
         {"bob,bob,", "new,new,", "9999,9999,"}},
        {"another letter case keeps its own slots",
         {"Bob,bob,", "mine,,", "11,,"},
         {"bob", "typed", "22", true},
         {"Bob,bob,", "mine,typed,", "11,22,"}},
        {"a password typed as the marker is stored as the marker",
         {"eve,", ",", ","},
         {"eve", "####", "5", true},
         {"eve,", "####,", "5,"}},
    };
    for (const auto& row : rows) {
        AccountStore& window = Window(row.stored);
        window.RemoveAccount(row.removed);
        const auto outcome = window.SaveUserDetails(row.window);
        ASSERT_TRUE(outcome.ok()) << row.name;
        EXPECT_EQ(outcome->Notice(), "") << row.name;
        const PlainLists stored = ReadStored();
        for (const auto* text : {&stored.usernameList, &stored.passwordList, &stored.pinList}) {
            EXPECT_EQ(text->size() % 16, 0u) << row.name;
            EXPECT_EQ(text->find_first_not_of("0123456789ABCDEF"), std::string::npos) << row.name;
        }
        // The window keeps the stored forms.
        EXPECT_EQ(window.Lists().usernameList, stored.usernameList) << row.name;
        EXPECT_EQ(window.Lists().pinList, stored.pinList) << row.name;
        EXPECT_EQ(PlainStored(), row.plain) << row.name;
        if (row.plain.usernameList.empty()) {
            EXPECT_EQ(stored, PlainLists{}) << row.name;
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
        (void)Window({row.username + std::string(","), ",", ","}).SaveUserDetails({});
        EXPECT_EQ(ReadStored().usernameList.size(), row.hexDigits) << row.username;
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
        AccountList accounts;
        for (int i = 0; i < row.stored; ++i) {
            accounts.push_back({"user" + std::to_string(i), "p", "1"});
        }
        AccountStore& window = Window(ListsOf(accounts));
        window.PlaceTypedAccount(row.stored, "newcomer", "");
        (void)window.SaveUserDetails({"newcomer", "pw", "42", true});
        const std::string usernames = PlainStored().usernameList;
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
        PlainLists plain;
        SaveReport report;
    };
    constexpr auto kNo = NotStored::kNo;
    const Row rows[] = {
        {"username with a comma left out",
         {"a,b", "pw", "1", true},
         {"keep,", "kp,", "k1,"},
         {NotStored::kComma, kNo, kNo}},
        {"password with a comma not saved",
         {"win", "p,w", "7", true},
         {"keep,win,", "kp,####,", "k1,7,"},
         {kNo, NotStored::kComma, kNo}},
        {"PIN with a comma stored empty",
         {"win", "pw", "1,2", true},
         {"keep,win,", "kp,pw,", "k1,,"},
         {kNo, kNo, NotStored::kComma}},
        {"a control character is not stored",
         {"win", "p\x01w", "1\x7f", true},
         {"keep,win,", "kp,####,", "k1,,"},
         {kNo, NotStored::kControlCharacter, NotStored::kControlCharacter}},
        {"a tab is stored as it is",
         {"win", "p\tw", "1", true},
         {"keep,win,", "kp,p\tw,", "k1,1,"},
         {kNo, kNo, kNo}},
    };
    for (const auto& row : rows) {
        AccountStore& window = Window({"keep,", "kp,", "k1,"});
        window.PlaceTypedAccount(1, row.window.username, "");
        const auto outcome = window.SaveUserDetails(row.window);
        ASSERT_TRUE(outcome.ok()) << row.name;
        EXPECT_EQ(outcome->username, row.report.username) << row.name;
        EXPECT_EQ(outcome->password, row.report.password) << row.name;
        EXPECT_EQ(outcome->pin, row.report.pin) << row.name;
        const PlainLists plain = PlainStored();
        EXPECT_EQ(plain, row.plain) << row.name;
        // The lists read back in step.
        const auto back = ReadAccounts(keys_);
        EXPECT_FALSE(back.accounts->unreadable) << row.name;
        EXPECT_EQ(back.accounts->entries.size(),
                  static_cast<std::size_t>(
                      std::count(plain.usernameList.begin(), plain.usernameList.end(), ',')))
            << row.name;
    }
}

TEST_F(AccountStoreTest, FiletimeErrorWritesNothing) {
    AccountStore& window = Window({"alice,", "pw,", "1,"});
    const PlainLists before = ReadStored();
    keys_.first = std::nullopt;
    window.PlaceTypedAccount(1, "bob", "pw");
    const auto failed = window.SaveUserDetails({"bob", "pw", "1", true});
    EXPECT_TRUE(failed.Is(StoreFailure::kNoKey));
    EXPECT_EQ(failed.error(), "Filetime error");
    EXPECT_EQ(ReadStored(), before);
}

TEST_F(AccountStoreTest, ReadsBackTheStoredLists) {
    AccountStore& window = Window({"alice,bob,carol,stale,kept,", ",,,,,", ",,,,,"});
    store_.StoreLists({"alice,bob,carol,", "pa,####,pc2,", "11,22,34,"});
    const auto back = window.ReadAccounts();
    ASSERT_TRUE(back.ok());
    EXPECT_TRUE(back->loginEnabled);
    EXPECT_EQ(back->entries, (std::vector<std::string>{"alice", "bob", "carol"}));
    EXPECT_EQ(window.Lists().usernameList, "alice,bob,carol,");
    const AccountTables& read = window.Tables();
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
    AccountStore& window = Window({});
    window.PlaceTypedAccount(0, "typed", "");
    const auto back = window.ReadAccounts();
    EXPECT_TRUE(back->entries.empty());
    EXPECT_TRUE(back->loginEnabled);
    EXPECT_EQ(window.Tables().savedUsernames[1], "typed");
}

TEST_F(AccountStoreTest, ListsWrittenUnderTheSecondKeyReadUnderIt) {
    // Stored under the local-time key, as an older save did.
    store_.StoreLists({"dave,", "pd,", "44,"}, kSecondKeyText);
    const auto back = ReadAccounts(keys_);
    EXPECT_EQ(keys_.secondCalls, 1);
    EXPECT_TRUE(back.accounts->loginEnabled);
    EXPECT_EQ(back.accounts->entries, std::vector<std::string>{"dave"});
    EXPECT_EQ(back.tables.savedPasswords[0], "pd");
    EXPECT_EQ(back.tables.savedPins[0], "44");
    EXPECT_EQ(back.key, HexTextToBytes(kSecondKeyText));
}

TEST_F(AccountStoreTest, UsernamesFailingTheLetterTestDisableLoginAndStillReadRight) {
    store_.StoreLists({"1st,", "p,", "1,"});
    const auto back = ReadAccounts(keys_);
    EXPECT_FALSE(back.accounts->loginEnabled);
    EXPECT_EQ(keys_.secondCalls, 1);
    // The second key deciphers nothing whole: the first key's decode stays.
    EXPECT_EQ(back.accounts->entries, std::vector<std::string>{"1st"});
    EXPECT_FALSE(back.accounts->unreadable);
    EXPECT_EQ(back.tables.savedPasswords[0], "p");
    EXPECT_EQ(back.key, HexTextToBytes(kFirstKeyText));
}

TEST_F(AccountStoreTest, KeyFailuresAreReported) {
    store_.StoreLists({"9lives,", "p,", "1,"});
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
        ASSERT_TRUE(back.accounts.Is(StoreFailure::kNoKey)) << row.name;
        EXPECT_NE(back.accounts.error().find(row.message), std::string::npos) << row.name;
    }
}

TEST_F(AccountStoreTest, PiecesMissingOrBeyondTheSlotsAreSkipped) {
    {
        // Out of step as the original program leaves them when a username held a comma ("a,b"):
        // read as the system reads them, and the next save writes them in step.
        store_.StoreLists({"a,b,ben,", "pa,pb,", "1,2,"});
        AccountStore store(keys_, store_.session());
        const auto back = store.ReadAccounts();
        EXPECT_EQ(back->entries, (std::vector<std::string>{"a", "b", "ben"}));
        EXPECT_TRUE(back->loginEnabled);
        EXPECT_EQ(store.Tables().passwordSavedFlags[2], 1);  // the empty piece, as the system
        ASSERT_TRUE(store.SaveUserDetails({}).ok());
        EXPECT_EQ(PlainStored().pinList, "1,2,,");
    }
    {
        // Usernames alone (no password or PIN list) are whole.
        AccountStore& window = Window({"x,y,", "p,before,", "1,2,"});
        store_.StoreLists({"ann,ben,", "", ""});
        const auto back = window.ReadAccounts();
        EXPECT_EQ(back->entries, (std::vector<std::string>{"ann", "ben"}));
        EXPECT_EQ(window.Tables().savedPasswords[1], "before");
        EXPECT_EQ(window.Tables().passwordSavedFlags[1], 1);
    }
    {
        std::string users;
        for (int i = 0; i < 120; ++i) {
            users += 'u';
            users += std::to_string(i);
            users += ',';
        }
        store_.StoreLists({users, "", ""});
        const auto back = ReadAccounts(keys_);
        EXPECT_EQ(back.accounts->entries.size(), static_cast<std::size_t>(kAccountSlots));
        EXPECT_EQ(back.tables.savedUsernames[100], "u100");
    }
}

// The texts of the settings key's values whose names begin with prefix.
std::vector<std::string> ValuesNamed(const std::string& prefix) {
    std::vector<std::string> texts;
    for (const auto& name : RegistryValueNames(kSettingsRoot, kSettingsKey)) {
        if (name.rfind(prefix, 0) == 0) {
            texts.push_back(ReadSetting(name));
        }
    }
    return texts;
}

TEST_F(AccountStoreTest, ListsSavedUnderOneKeyAreNeverShownUnderAnotherAndSurviveTheNextSave) {
    // Saved by an older launcher, which kept no key text beside the lists.
    store_.StoreLists({"alice,\xC3\x89milie,", "apw,epw,", "1111,3333,"});
    const PlainLists original = ReadStored();
    // Other keys, as a reinstalled program file (another creation time) or another zone give.
    int garbageThatLooksLikeNames = 0;
    for (int i = 1; i <= 40; ++i) {
        FakeKeys other;
        other.first = RenderKeyText(1700000000 + i * 3599, true);
        other.second = RenderKeyText(1700000000 - i * 86401, true);
        BlowfishState wrong;
        (void)InitialiseKey(wrong, StoreKeyFromText(*other.first));
        garbageThatLooksLikeNames +=
            PassesLetterTest(DecodeStoredList(wrong, original.usernameList));
        const auto back = ReadAccounts(other);
        EXPECT_TRUE(back.accounts->entries.empty()) << *other.first;
        EXPECT_FALSE(back.accounts->loginEnabled) << *other.first;
        EXPECT_TRUE(back.accounts->unreadable) << *other.first;
    }
    EXPECT_GT(garbageThatLooksLikeNames, 0);  // the letter test alone would have shown some

    // The next save under a wrong key keeps the lists, as stored, beside the new ones; once.
    FakeKeys other;
    other.first = RenderKeyText(1700003599, true);
    for (int save = 0; save < 2; ++save) {
        AccountStore saving(other, store_.session());
        ASSERT_TRUE(saving.ReadAccounts().ok());
        if (save == 0) {
            saving.PlaceTypedAccount(0, "newbie", "npw");
        }
        ASSERT_TRUE(saving.SaveUserDetails({"newbie", "npw", "9", true}).ok());
    }
    EXPECT_EQ(ValuesNamed("username.unreadable-"), Strings{original.usernameList});
    EXPECT_EQ(ValuesNamed("password.unreadable-"), Strings{original.passwordList});
    EXPECT_EQ(ValuesNamed("pin.unreadable-"), Strings{original.pinList});
    EXPECT_EQ(Decipher(ReadStored().usernameList, *other.first), "newbie,");
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
        (void)store_.session().backend().DeleteKeyTree(kSettingsRoot, kSettingsKeyNoSlash);
        store_.StoreLists({first + std::string(","), "pw,", "1,"});
        WriteRegistryString(kSettingsRoot, kSettingsKey, kKeyTextValue, std::string(beside));
        AccountStore window(*keys, store_.session());
        EXPECT_EQ(window.ReadAccounts()->entries, Strings{first});
        EXPECT_EQ(window.StoreKey(), HexTextToBytes(kFirstKeyText));
        ASSERT_TRUE(window.SaveUserDetails({}).ok());
        EXPECT_EQ(Decipher(ReadStored().usernameList, *keys->first), first + std::string(","));
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
        AccountStore window(keys, store_.session());
        auto read = window.ReadAccounts();
        if (login) {
            window.PlaceTypedAccount(static_cast<int>(read->entries.size()), login, "pw");
            EXPECT_TRUE(window.SaveUserDetails({login, "pw", "1", true}).ok());
        }
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
    store_.StoreLists({"alice,", "apw,", "1,"});
    // Two windows open at once, each with a connection (or registry handle) of its own.
    RegistrySession another(store_.another());
    AccountStore a(keys_, store_.session());
    AccountStore b(keys_, another);
    ASSERT_TRUE(a.ReadAccounts().ok());
    ASSERT_TRUE(b.ReadAccounts().ok());
    // A logs in as bob, then B as carol (a typed name goes after the empty slot).
    a.PlaceTypedAccount(1, "bob", "bpw");
    ASSERT_TRUE(a.SaveUserDetails({"bob", "bpw", "2", true}).ok());
    b.PlaceTypedAccount(1, "carol", "cpw");
    ASSERT_TRUE(b.SaveUserDetails({"carol", "cpw", "3", true}).ok());
    EXPECT_EQ(PlainStored().usernameList, "alice,carol,bob,");
    EXPECT_EQ(PlainStored().pinList, "1,3,2,");
    // A removes alice; B, which never saw bob, forgets carol's password: both changes stay.
    a.RemoveAccount(0);
    ASSERT_TRUE(a.SaveUserDetails({}).ok());
    b.ForgetPassword(2);
    ASSERT_TRUE(b.SaveUserDetails({}).ok());
    EXPECT_EQ(PlainStored().usernameList, "carol,bob,");
    EXPECT_EQ(PlainStored().passwordList, "####,bpw,");
}

}  // namespace
}  // namespace vellamark
