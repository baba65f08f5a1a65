#include "store/registry.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "store/user_registry.h"

namespace vellamark {
namespace {

// The longest text value ReadRegistryString reads.
constexpr std::uint32_t kLargestText = 16u * 1024u * 1024u;

std::int32_t gLastRegistryResult = 0;
std::shared_ptr<RegistryBackend> gBackend;
std::string gStoreProblem;
// This user's store was held by another program when it was opened: open it again at the next
// write transaction.
bool gReopenAtNextWrite = false;

// The open transaction, if any.
struct OpenTransaction {
    int depth = 0;  // 0: none open
    bool begun = false;
    bool write = false;
    std::int32_t status = kErrorSuccess;
    std::shared_ptr<RegistryBackend> backend;
};
OpenTransaction gTransaction;

// Inside a transaction that failed, the routines make no call at all.
bool Skipped() {
    if (gTransaction.depth > 0 && gTransaction.status != kErrorSuccess) {
        gLastRegistryResult = gTransaction.status;
        return true;
    }
    return false;
}

// Keeps rc as the last result. Inside a transaction a failure spoils it: a read that failed
// (not merely found nothing) in any transaction, a write in a write transaction. A write that
// fails inside a read one only has no effect.
void NoteRead(std::int32_t rc) {
    gLastRegistryResult = rc;
    if (gTransaction.depth > 0 && gTransaction.status == kErrorSuccess && rc != kErrorSuccess &&
        rc != kErrorFileNotFound) {
        gTransaction.status = rc;
    }
}

void NoteWrite(std::int32_t rc) {
    gLastRegistryResult = rc;
    if (gTransaction.depth > 0 && gTransaction.write && gTransaction.status == kErrorSuccess &&
        rc != kErrorSuccess) {
        gTransaction.status = rc;
    }
}

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string TaggedValueText(const TaggedValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        return std::to_string(*number);
    }
    if (const auto* flag = std::get_if<bool>(&value)) {
        return *flag ? "True" : "False";
    }
    return {};
}

void SetRegistryBackend(std::shared_ptr<RegistryBackend> backend, std::string problem) {
    gBackend = std::move(backend);
    gStoreProblem = std::move(problem);
    gReopenAtNextWrite = false;
}

RegistryBackend& CurrentRegistryBackend() {
    if (!gBackend) {
        auto opened = OpenUserRegistry();
        gBackend = std::move(opened.backend);
        gStoreProblem = std::move(opened.problem);
        gReopenAtNextWrite = opened.busy;
    }
    return *gBackend;
}

std::string RegistryStoreProblem() {
    (void)CurrentRegistryBackend();
    return gStoreProblem;
}

std::int32_t LastRegistryResult() {
    return gLastRegistryResult;
}

RegistryTransaction::RegistryTransaction(RegistryRoot root, const std::string& keyPath,
                                         TransactionKind kind, std::chrono::milliseconds wait) {
    if (gTransaction.depth > 0) {
        ++gTransaction.depth;
        return;
    }
    outermost_ = true;
    const bool write = kind == TransactionKind::kWrite;
    (void)CurrentRegistryBackend();
    if (write && gReopenAtNextWrite) {
        // The wait covers the opening too: one bound for the whole save.
        const auto start = std::chrono::steady_clock::now();
        if (auto opened = OpenUserRegistry(); !opened.busy) {
            SetRegistryBackend(std::move(opened.backend), std::move(opened.problem));
        }
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        wait = std::max(wait - spent, std::chrono::milliseconds(0));
    }
    RegistryBackend& backend = *gBackend;
    const std::int32_t rc = backend.BeginTransaction(root, keyPath, write, wait);
    gTransaction = {1, rc == kErrorSuccess, write, rc, gBackend};
    gLastRegistryResult = rc;
}

RegistryTransaction::~RegistryTransaction() {
    if (ended_) {
        return;
    }
    if (!outermost_) {
        --gTransaction.depth;
        return;
    }
    if (gTransaction.begun) {
        (void)gTransaction.backend->RollbackTransaction();
    }
    gTransaction = {};
}

std::int32_t RegistryTransaction::status() const {
    return ended_ ? outcome_ : gTransaction.status;
}

std::int32_t RegistryTransaction::Commit() {
    if (ended_) {
        return outcome_;
    }
    ended_ = true;
    outcome_ = gTransaction.status;
    if (!outermost_) {
        --gTransaction.depth;
        return outcome_;
    }
    if (gTransaction.begun) {
        if (outcome_ == kErrorSuccess) {
            outcome_ = gTransaction.backend->CommitTransaction();
        } else {
            (void)gTransaction.backend->RollbackTransaction();
        }
    }
    gLastRegistryResult = outcome_;
    gTransaction = {};
    return outcome_;
}

std::string RegistryErrorText(std::int32_t code) {
    switch (code) {
        case kErrorSuccess:
            return "no error";
        case kErrorBusy:
            return "another program holds the settings store";
        case kErrorDiskFull:
            return "the disk is full";
        case kErrorAccessDenied:
            return "the settings store, or its folder, may not be written";
        case kErrorWriteProtect:
            return "the disk is write-protected";
        case kErrorBadDatabase:
            return "the settings store is damaged";
        case kErrorRegistryIoFailed:
            return "the settings store could not be read or written";
        case kErrorFileNotFound:
            return "the settings key is missing";
        case kErrorMoreData:
            return "a stored value is larger than the launcher reads";
        default:
            return "the registry reported error " + std::to_string(code);
    }
}

bool RegistryKeyExists(RegistryRoot root, const std::string& keyPath) {
    if (Skipped()) {
        return false;
    }
    auto& backend = CurrentRegistryBackend();
    RegistryHandle handle = 0;
    NoteRead(backend.OpenKey(root, keyPath, handle));
    // The handle decides, not the open's return code.
    const bool exists = handle != 0;
    gLastRegistryResult = backend.CloseKey(handle);
    return exists;
}

TaggedValue ReadRegistryString(RegistryRoot root, const std::string& keyPath,
                               const std::string& valueName) {
    if (Skipped()) {
        return std::string();
    }
    auto& backend = CurrentRegistryBackend();
    RegistryHandle handle = 0;
    std::uint32_t size = 0;
    std::uint32_t kind = kRegNone;
    TaggedValue result = std::string();
    NoteRead(backend.OpenKey(root, keyPath, handle));
    if (handle != 0) {
        // A missing value leaves the kind at 0, which reads as empty text below.
        NoteRead(backend.QueryValue(handle, valueName, kind, nullptr, size));
        if (kind == kRegSz && size > kLargestText) {
            // Far beyond any setting: read as empty text rather than allocate without bound.
            NoteRead(kErrorMoreData);
        } else if (kind == kRegSz) {
            std::vector<std::uint8_t> buffer(size, ' ');
            std::uint32_t secondKind = kRegNone;
            std::uint32_t filled = size;
            NoteRead(backend.QueryValue(handle, valueName, secondKind, buffer.data(), filled));
            if (gLastRegistryResult == kErrorSuccess) {
                // Another process may have shortened the value between the two queries.
                buffer.resize(std::min(filled, size));
                result = FromAnsi(
                    std::string(buffer.begin(), std::find(buffer.begin(), buffer.end(), 0)));
            }
        } else if (kind == kRegDword) {
            std::uint8_t number[4] = {};
            std::uint32_t numberSize = sizeof number;
            NoteRead(backend.QueryValue(handle, valueName, kind, number, numberSize));
            if (gLastRegistryResult == kErrorSuccess) {
                // REG_DWORD is little-endian on every platform the registry runs on.
                const std::uint32_t value =
                    std::uint32_t{number[0]} | (std::uint32_t{number[1]} << 8) |
                    (std::uint32_t{number[2]} << 16) | (std::uint32_t{number[3]} << 24);
                result = static_cast<std::int32_t>(value);
            }
        }
    }
    gLastRegistryResult = backend.CloseKey(handle);
    return result;
}

void WriteRegistryString(RegistryRoot root, const std::string& keyPath,
                         const std::string& valueName, const TaggedValue& value) {
    if (Skipped()) {
        return;
    }
    auto& backend = CurrentRegistryBackend();
    RegistryHandle handle = 0;
    NoteWrite(backend.CreateKey(root, keyPath, handle));
    // The length is that of the ANSI bytes plus the closing NUL: a character count would cut
    // the text short in a multi-byte code page.
    const std::string ansi = ToAnsi(TrimSpaces(TaggedValueText(value)));
    std::vector<std::uint8_t> data(ansi.begin(), ansi.end());
    data.push_back(0);
    NoteWrite(backend.SetValue(handle, valueName, kRegSz, data.data(),
                               static_cast<std::uint32_t>(data.size())));
    gLastRegistryResult = backend.CloseKey(handle);
}

std::vector<std::string> RegistryValueNames(RegistryRoot root, const std::string& keyPath) {
    std::vector<std::string> names;
    if (Skipped()) {
        return names;
    }
    auto& backend = CurrentRegistryBackend();
    RegistryHandle handle = 0;
    NoteRead(backend.OpenKey(root, keyPath, handle));
    if (handle != 0) {
        std::vector<RegistryValueEntry> values;
        NoteRead(backend.EnumValues(handle, values));
        for (auto& value : values) {
            names.push_back(std::move(value.name));
        }
    }
    gLastRegistryResult = backend.CloseKey(handle);
    return names;
}

void DeleteRegistryValue(RegistryRoot root, const std::string& keyPath,
                         const std::string& valueName) {
    if (Skipped()) {
        return;
    }
    auto& backend = CurrentRegistryBackend();
    RegistryHandle handle = 0;
    NoteRead(backend.OpenKey(root, keyPath, handle));
    if (handle != 0) {
        const std::int32_t rc = backend.DeleteValue(handle, valueName);
        NoteWrite(rc == kErrorFileNotFound ? kErrorSuccess : rc);
    }
    gLastRegistryResult = backend.CloseKey(handle);
}

void CreateRegistryKey(RegistryRoot root, const std::string& keyPath) {
    if (Skipped()) {
        return;
    }
    auto& backend = CurrentRegistryBackend();
    RegistryHandle handle = 0;
    NoteWrite(backend.CreateKey(root, keyPath, handle));
    gLastRegistryResult = backend.CloseKey(handle);
}

}  // namespace vellamark
