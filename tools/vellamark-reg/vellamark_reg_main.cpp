#include <iostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"
#include "platform/text.h"
#include "store/registry_backend.h"
#include "store/stored_settings.h"
#include "store/user_registry.h"
#include "tools/vellamark-reg/reg_command.h"

namespace {

// A stream buffer that hands its UTF-8 text to the console writer at every flush, so the text
// reaches a Windows console or pipe as reg's would (the console's code page), and the question
// of a confirmation shows before the answer is read.
class ConsoleBuffer final : public std::streambuf {
public:
    explicit ConsoleBuffer(vellamark::StandardStream stream) : stream_(stream) {}
    ~ConsoleBuffer() override { Flush(); }
    ConsoleBuffer(const ConsoleBuffer&) = delete;
    ConsoleBuffer& operator=(const ConsoleBuffer&) = delete;

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            text_.push_back(traits_type::to_char_type(c));
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        text_.append(data, static_cast<std::size_t>(size));
        return size;
    }
    int sync() override {
        Flush();
        return 0;
    }

private:
    void Flush() {
        vellamark::WriteStandardText(stream_, text_);
        text_.clear();
    }

    vellamark::StandardStream stream_;
    std::string text_;
};

}  // namespace

// vellamark-reg: query and change the launcher's stored settings from the command line. On
// systems without a registry it works on the same per-user database as the launcher
// ($XDG_CONFIG_HOME/vellamark/registry.sqlite3); a query only reads it.
int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        // The arguments come in the ANSI code page on Windows; the commands work in UTF-8.
        const std::string_view arg(argv[i]);
        args.push_back(vellamark::FromAnsi(arg));
    }
    ConsoleBuffer outBuffer(vellamark::StandardStream::kOutput);
    ConsoleBuffer errBuffer(vellamark::StandardStream::kError);
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);

    const vellamark::StoreAccess access = vellamark::RegCommandAccess(args);
    auto store = vellamark::OpenUserRegistry(access);
    if (!store) {
        err << "ERROR: The settings database cannot be opened: " << store.error() << ".\n";
        err.flush();
        return 1;
    }
    if (!store->problem.empty()) {
        err << "vellamark-reg: " << store->problem << "\n";
    }
    // A query reads the launcher's settings key as one transaction of it: the last whole save,
    // and on Windows a save a killed launcher left half done is undone first (its journal).
    const bool query = access == vellamark::StoreAccess::kReadOnly;
    const bool inTransaction =
        query && store->backend->BeginTransaction(
                     vellamark::kSettingsRoot, vellamark::kSettingsKeyNoSlash, false,
                     vellamark::kStoreLockWait) == vellamark::kErrorSuccess;
    const int exitCode = vellamark::RunRegCommand(args, *store->backend, std::cin, out, err);
    if (inTransaction) {
        (void)store->backend->CommitTransaction();
    }
    out.flush();
    err.flush();
    return exitCode;
}
