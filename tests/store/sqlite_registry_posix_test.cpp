// The per-user SQLite store: where it lives, who may read it, damaged files, and several
// processes writing at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "store/account_store.h"
#include "store/key_text.h"
#include "store/registry.h"
#include "store/registry_session.h"
#include "store/sqlite_registry.h"
#include "tests/support/child_process_posix.h"
#include "tests/support/fake_key_source.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_folder.h"

namespace vellamark {
namespace {

namespace fs = std::filesystem;

using testsupport::ReadFile;

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

using ScopedEnv = testsupport::ScopedEnvironment;

// SQLite's own verdict on a database file, read without our code.
std::string IntegrityCheck(const fs::path& path) {
    sqlite3* db = nullptr;
    std::string verdict = "cannot open";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            verdict = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        } else {
            verdict = sqlite3_errmsg(db);
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return verdict;
}

TEST(SqliteStore, IsReadableByItsUserAlone) {
    testsupport::TempFolder temp;
    const mode_t oldMask = ::umask(0);
    const fs::path file = fs::path(temp.path()) / "config" / "vellamark" / "registry.sqlite3";
    auto opening = OpenSqliteRegistry(file);
    ::umask(oldMask);
    ASSERT_TRUE(opening.ok()) << opening.error();
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(file.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // A file someone widened is narrowed again.
    opening->backend.reset();
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    opening = OpenSqliteRegistry(file);
    ASSERT_TRUE(opening.ok()) << opening.error();
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Reached through a link of this user's, it is used.
    const fs::path link = fs::path(temp.path()) / "link";
    fs::create_symlink(file, link);
    EXPECT_TRUE(OpenSqliteRegistry(link).ok());
}

TEST(SqliteStore, AFileThatIsNotOurDatabaseIsMovedAsideAndKept) {
    struct Row {
        const char* name;
        std::function<void(const fs::path&)> make;
        bool journalMovedToo;  // SQLite itself discards a journal that is not one
    };
    const Row rows[] = {
        {"text", [](const fs::path& p) { WriteFile(p, "these are not the pages of a database"); },
         true},
        {"a truncated database",
         [](const fs::path& p) {
             std::string header("SQLite format 3\0", 16);
             WriteFile(p, header + std::string(84, '\x01') + std::string(4000, 'x'));
         },
         false},
        {"another program's database",
         [](const fs::path& p) {
             sqlite3* db = nullptr;
             sqlite3_open(p.c_str(), &db);
             sqlite3_exec(db, "CREATE TABLE photos(id INTEGER)", nullptr, nullptr, nullptr);
             sqlite3_close(db);
         },
         false},
    };
    for (const auto& row : rows) {
        testsupport::TempFolder temp;
        const fs::path file = fs::path(temp.path()) / "registry.sqlite3";
        row.make(file);
        WriteFile(file.string() + "-journal", "journal bytes");
        const std::string original = ReadFile(file);

        auto opening = OpenSqliteRegistry(file);
        ASSERT_TRUE(opening.ok()) << row.name << ": " << opening.error();
        ASSERT_TRUE(opening->movedAsideTo.has_value()) << row.name;
        EXPECT_EQ(opening->movedAsideTo->filename().string().rfind("registry.sqlite3.damaged-", 0),
                  0u)
            << row.name;
        EXPECT_EQ(ReadFile(*opening->movedAsideTo), original) << row.name;
        if (row.journalMovedToo) {
            EXPECT_EQ(ReadFile(opening->movedAsideTo->string() + "-journal"), "journal bytes")
                << row.name;
        }
        // Whatever journal there was never reaches the fresh database.
        EXPECT_NE(ReadFile(file.string() + "-journal"), "journal bytes") << row.name;
        EXPECT_FALSE(opening->damage.empty()) << row.name;

        // The fresh store works.
        RegistryHandle handle = 0;
        EXPECT_EQ(opening->backend->CreateKey(kHkeyCurrentUser, "Software\\X", handle),
                  kErrorSuccess);
        EXPECT_EQ(opening->backend->CloseKey(handle), kErrorSuccess);
        opening->backend.reset();
        EXPECT_EQ(IntegrityCheck(file), "ok") << row.name;
        // Opened again, nothing more is moved.
        EXPECT_FALSE(OpenSqliteRegistry(file)->movedAsideTo.has_value()) << row.name;
    }
}

TEST(SqliteStore, TheUsersStoreOpensOverDamageAndTheRoutinesKeepTheirPromise) {
    testsupport::TempFolder temp;
    const ScopedEnv xdg("XDG_CONFIG_HOME", temp.text());
    const fs::path folder = fs::path(temp.path()) / "vellamark";
    fs::create_directories(folder);
    WriteFile(folder / "registry.sqlite3", "garbage");

    RegistrySession registry = UseUserRegistry();
    const RegistryInUse use(registry);
    CreateRegistryKey(kHkeyCurrentUser, "Software\\Corvane\\Vellamar");
    EXPECT_EQ(LastRegistryResult(), kErrorSuccess);
    WriteRegistryString(kHkeyCurrentUser, "Software\\Corvane\\Vellamar\\", "savepasswords",
                        std::string("1"));
    EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, "Software\\Corvane\\Vellamar", "savepasswords"),
              TaggedValue(std::string("1")));
    const std::string problem = registry.Opened().error();
    EXPECT_NE(problem.find("moved to"), std::string::npos) << problem;

    int damagedFiles = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        damagedFiles += entry.path().filename().string().find(".damaged-") != std::string::npos;
    }
    EXPECT_EQ(damagedFiles, 1);
}

TEST(SqliteStore, AStoreThatCannotBeOpenedReadsEmptyAndSaysWhy) {
    testsupport::TempFolder temp;
    // The folder the store needs is a file.
    WriteFile(fs::path(temp.path()) / "vellamark", "in the way");
    const ScopedEnv xdg("XDG_CONFIG_HOME", temp.text());
    RegistrySession registry = UseUserRegistry();
    const RegistryInUse use(registry);
    WriteRegistryString(kHkeyCurrentUser, "Software\\X", "v", std::string("lost"));
    EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, "Software\\X", "v"), TaggedValue(std::string()));
    EXPECT_FALSE(registry.Opened().ok());
}

TEST(SqliteStore, AStoreHeldAtStartIsToldWithinTheWaitAndOpenedAgainAtTheNextSave) {
    testsupport::TempFolder temp;
    const ScopedEnv xdg("XDG_CONFIG_HOME", temp.text());
    const fs::path file = temp.path() / "vellamark" / "registry.sqlite3";
    ASSERT_TRUE(OpenSqliteRegistry(file).ok());
    sqlite3* other = nullptr;  // another program, holding the whole store
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const auto started = std::chrono::steady_clock::now();
    RegistrySession registry = UseUserRegistry();
    testsupport::FakeKeySource keys;
    AccountStore window(keys, registry);
    EXPECT_TRUE(window.ReadAccounts().Is(StoreFailure::kNotRead));
    EXPECT_LT(std::chrono::steady_clock::now() - started, kStoreLockWait + std::chrono::seconds(1));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    window.PlaceTypedAccount(0, "alice", "pw");
    ASSERT_TRUE(window.SaveUserDetails({"alice", "pw", "1", true}).ok());
    EXPECT_EQ(AccountStore(keys, registry).ReadAccounts()->entries,
              std::vector<std::string>{"alice"});
}

// Runs body in a child process with a store of its own opened on the file; returns its pid.
template <typename Body>
pid_t InChild(const fs::path& file, Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        auto opening = OpenSqliteRegistry(file);
        if (!opening) {
            std::fprintf(stderr, "child: %s\n", opening.error().c_str());
            ::_exit(2);
        }
        RegistrySession session(std::move(opening->backend));
        const RegistryInUse use(session);
        body();
        ::_exit(0);
    }
    return pid;
}

TEST(SqliteStore, ProcessesWritingAtOnceLoseNothing) {
    testsupport::TempFolder temp;
    const fs::path file = fs::path(temp.path()) / "registry.sqlite3";
    constexpr int kProcesses = 4;
    constexpr int kWrites = 60;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        children.push_back(InChild(file, [p] {
            for (int i = 0; i < kWrites; ++i) {
                const std::string value = "p" + std::to_string(p) + "-" + std::to_string(i);
                WriteRegistryString(kHkeyCurrentUser, "Software\\Shared", value, value);
                if (LastRegistryResult() != kErrorSuccess) {
                    ::_exit(3);
                }
                // Every process also rewrites one value that all of them share.
                WriteRegistryString(kHkeyCurrentUser, "Software\\Shared\\", "last",
                                    std::string(200, static_cast<char>('a' + p)));
            }
        }));
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    auto opening = OpenSqliteRegistry(file);
    ASSERT_TRUE(opening.ok()) << opening.error();
    EXPECT_FALSE(opening->movedAsideTo.has_value());
    RegistrySession session(std::move(opening->backend));
    const RegistryInUse use(session);
    for (int p = 0; p < kProcesses; ++p) {
        for (int i = 0; i < kWrites; ++i) {
            const std::string value = "p" + std::to_string(p) + "-" + std::to_string(i);
            ASSERT_EQ(ReadRegistryString(kHkeyCurrentUser, "Software\\Shared", value),
                      TaggedValue(value));
        }
    }
    const std::string last =
        TaggedValueText(ReadRegistryString(kHkeyCurrentUser, "Software\\Shared", "last"));
    ASSERT_EQ(last.size(), 200u);
    EXPECT_EQ(last, std::string(200, last[0]));
    EXPECT_EQ(IntegrityCheck(file), "ok");
}

TEST(SqliteStore, AWriterKilledMidWriteLeavesAReadableStoreAndWholeValues) {
    testsupport::TempFolder temp;
    const fs::path file = fs::path(temp.path()) / "registry.sqlite3";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = InChild(file, [&] {
        ::close(ready[0]);
        for (int i = 0;; ++i) {
            // Large values, so that the process is mostly inside a write when it is killed.
            WriteRegistryString(kHkeyCurrentUser, "Software\\Big", "value",
                                std::string(256 * 1024, static_cast<char>('a' + i % 26)));
            if (i == 3) {
                const char byte = 1;
                (void)::write(ready[1], &byte, 1);
            }
        }
    });
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);  // at least four values are committed
    ::close(ready[0]);
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    auto opening = OpenSqliteRegistry(file);
    ASSERT_TRUE(opening.ok()) << opening.error();
    EXPECT_FALSE(opening->movedAsideTo.has_value());
    RegistrySession session(std::move(opening->backend));
    const RegistryInUse use(session);
    const std::string value =
        TaggedValueText(ReadRegistryString(kHkeyCurrentUser, "Software\\Big", "value"));
    ASSERT_EQ(value.size(), 256u * 1024u);
    EXPECT_EQ(value, std::string(value.size(), value[0]));
    EXPECT_EQ(IntegrityCheck(file), "ok");
}

// A launcher on the store in the folder.
struct Launcher {
    testsupport::FakeKeySource keys;
    std::unique_ptr<RegistrySession> registry;

    explicit Launcher(const fs::path& folder) {
        auto opening = OpenSqliteRegistry(folder / "registry.sqlite3");
        EXPECT_TRUE(opening.ok()) << opening.error();
        registry = std::make_unique<RegistrySession>(std::move(opening->backend));
    }
    // Logs in as this account in a window of its own, typed (after the empty slot that follows
    // the list) unless listed; what the save said, empty when written.
    std::string LogIn(const char* username) {
        AccountStore window(keys, *registry);
        const auto read = window.ReadAccounts();
        window.PlaceTypedAccount(read ? static_cast<int>(read->entries.size()) : 0, username, "pw");
        const auto saved = window.SaveUserDetails({username, "pw", "2", true},
                                                  LoginSettings{true, false, true, true});
        return saved ? "" : saved.error();
    }
    // The stored accounts as another window reads them: name/PIN, each closed by a comma.
    std::string Lists() {
        AccountStore reader(keys, *registry);
        const auto read = reader.ReadAccounts();
        std::string lists;
        for (std::size_t i = 0; read && i < read->entries.size(); ++i) {
            lists += reader.Tables().savedUsernames[i] + "/" + reader.Tables().savedPins[i] + ",";
        }
        return lists;
    }
};

TEST(SqliteStore, AFullDiskFailsTheSaveWithItsReasonAndTheListsStayInStep) {
    testsupport::TempFolder temp;
    const fs::path folder = temp.path() / "small";
    fs::create_directories(folder);
    const std::string failure = testsupport::InChildProcess([&]() -> std::string {
        // A small tmpfs of its own; where the system mounts none, a file size limit of one byte
        // stands in for the full disk (the write then fails with EFBIG rather than ENOSPC).
        const bool tmpfs = testsupport::MountPrivateTmpfs(folder, 256 * 1024);
        Launcher launcher(folder);
        if (const auto why = launcher.LogIn("alice"); !why.empty()) {
            return why;
        }
        rlimit unlimited{};
        ::getrlimit(RLIMIT_FSIZE, &unlimited);
        rlimit tiny = unlimited;
        tiny.rlim_cur = 1;
        if (tmpfs) {
            std::ofstream filler(folder / "filler", std::ios::binary);
            const std::string block(4096, 'x');
            while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
            }
        } else {
            ::signal(SIGXFSZ, SIG_IGN);
            ::setrlimit(RLIMIT_FSIZE, &tiny);
        }
        if (const auto why = launcher.LogIn("bob");
            why.empty() || (tmpfs && why.find(": the disk is full.") == std::string::npos)) {
            return "the save on a full disk gave \"" + why + "\"";
        }
        if (launcher.Lists() != "alice/2,") {
            return "the lists changed: " + launcher.Lists();
        }
        // With room again, the same save goes through, whole.
        fs::remove(folder / "filler");
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        const std::string again = launcher.LogIn("bob");
        return again.empty() && launcher.Lists() == "alice/2,bob/2,"
                   ? ""
                   : "then: " + again + " " + launcher.Lists();
    });
    EXPECT_EQ(failure, "");
}

TEST(SqliteStore, AStoreThatMayNotBeWrittenStillReadsAndAFailedSaveSaysWhy) {
    for (const bool folderReadOnly : {true, false}) {
        testsupport::TempFolder temp;
        const fs::path folder = temp.path() / "store";
        fs::create_directories(folder);
        const std::string failure = testsupport::InChildProcess([&]() -> std::string {
            if (!testsupport::DropPrivileges() || !Launcher(folder).LogIn("alice").empty()) {
                return "cannot set the store up";
            }
            // The journal a save needs is made anew in the folder (the empty one a save leaves
            // behind would still take writes).
            fs::remove(folder / "registry.sqlite3-journal");
            ::chmod(folderReadOnly ? folder.c_str() : (folder / "registry.sqlite3").c_str(),
                    folderReadOnly ? 0500 : 0400);
            Launcher launcher(folder);
            const std::string why = launcher.LogIn("bob");
            if (why.find(": the settings store, or its folder, may not be written.") ==
                std::string::npos) {
                return "the save gave \"" + why + "\"";
            }
            return launcher.Lists() == "alice/2," ? "" : "the lists read " + launcher.Lists();
        });
        EXPECT_EQ(failure, "") << (folderReadOnly ? "read-only folder" : "read-only file");
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
    }
}

}  // namespace
}  // namespace vellamark
