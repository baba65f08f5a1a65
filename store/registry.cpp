#include "store/registry.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "store/registry_session.h"
#include "store/user_registry.h"

namespace vellamark {
namespace {

// The longest text value ReadRegistryString reads.
constexpr std::uint32_t kLargestText = 16u * 1024u * 1024u;

// The module's state: the code of the last registry call, and which store the routines work on.
std::int32_t gLastRegistryResult = 0;
RegistryInUse* gInUse = nullptr;

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A wait as the user reads it: "3 seconds", "0.2 seconds".
std::string Seconds(std::chrono::milliseconds wait) {
    const auto ms = wait.count();
    if (ms % 1000 == 0) {
        return std::to_string(ms / 1000) + (ms == 1000 ? " second" : " seconds");
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f seconds", static_cast<double>(ms) / 1000.0);
    return text;
}

// Why the store failed (an error code of its transaction), in a few words for a message: "the
// disk is full", or that another program held it past the wait.
std::string StoreFailureText(std::int32_t code, std::chrono::milliseconds wait) {
    std::string why = RegistryErrorText(code);
    if (code == kErrorBusy) {
        why += " and did not let go of it within " + Seconds(wait);
    }
    return why;
}

}  // namespace

// What the routines reach of the store in use and of its open transaction.
struct RegistryCalls {
    // With no store in use, every call fails as on a registry that cannot be opened.
    static RegistryBackend& Backend() {
        static const auto noStore = MakeUnavailableRegistry(kErrorInvalidHandle);
        return gInUse != nullptr ? gInUse->session_.backend() : *noStore;
    }

    static RegistryTransaction* Open() {
        return gInUse != nullptr ? gInUse->transaction_ : nullptr;
    }

    // The transaction of this session open now, if any.
    static RegistryTransaction* OpenOn(const RegistrySession& session) {
        for (RegistryInUse* use = gInUse; use != nullptr; use = use->previous_) {
            if (&use->session_ == &session && use->transaction_ != nullptr) {
                return use->transaction_;
            }
        }
        return nullptr;
    }

    // Inside a transaction that failed, the routines make no call at all.
    static bool Skipped() {
        if (const RegistryTransaction* open = Open(); open && open->code_ != kErrorSuccess) {
            gLastRegistryResult = open->code_;
            return true;
        }
        return false;
    }

    // Keeps rc as the last result. Inside a transaction a failure spoils it: a read that failed
    // (not merely found nothing) in any transaction, a write in a write transaction. A write that
    // fails inside a read one only has no effect.
    static void NoteRead(std::int32_t rc) {
        gLastRegistryResult = rc;
        if (RegistryTransaction* open = Open(); open && open->code_ == kErrorSuccess &&
                                                rc != kErrorSuccess && rc != kErrorFileNotFound) {
            open->code_ = rc;
        }
    }

    static void NoteWrite(std::int32_t rc) {
        gLastRegistryResult = rc;
        if (RegistryTransaction* open = Open();
            open && open->write_ && open->code_ == kErrorSuccess && rc != kErrorSuccess) {
            open->code_ = rc;
        }
    }
};

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

std::int32_t LastRegistryResult() {
    return gLastRegistryResult;
}

RegistryInUse::RegistryInUse(RegistrySession& session) : session_(session), previous_(gInUse) {
    gInUse = this;
}

RegistryInUse::~RegistryInUse() {
    gInUse = previous_;
}

RegistryTransaction::RegistryTransaction(RegistrySession& session, RegistryRoot root,
                                         const std::string& keyPath, TransactionKind kind,
                                         std::chrono::milliseconds wait)
    : session_(session),
      wait_(wait),
      joined_(RegistryCalls::OpenOn(session)),
      write_(kind == TransactionKind::kWrite),
      inUse_(session) {
    if (joined_ != nullptr) {
        write_ = joined_->write_;
        inUse_.transaction_ = joined_;
        return;
    }
    if (write_) {
        // The wait covers the opening too: one bound for the whole save.
        const auto start = std::chrono::steady_clock::now();
        session_.OpenAgainIfHeld();
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        wait = std::max(wait - spent, std::chrono::milliseconds(0));
    }
    code_ = session_.backend().BeginTransaction(root, keyPath, write_, wait);
    begun_ = code_ == kErrorSuccess;
    gLastRegistryResult = code_;
    inUse_.transaction_ = this;
}

RegistryTransaction::~RegistryTransaction() {
    if (!ended_ && joined_ == nullptr && begun_) {
        (void)session_.backend().RollbackTransaction();
    }
}

std::int32_t RegistryTransaction::Outcome() const {
    return joined_ != nullptr && !ended_ ? joined_->Outcome() : code_;
}

Status RegistryTransaction::status() const {
    const std::int32_t code = Outcome();
    return code == kErrorSuccess ? Status::Ok() : Status::Fail(StoreFailureText(code, wait_));
}

Status RegistryTransaction::Commit() {
    if (!ended_) {
        End();
    }
    return status();
}

void RegistryTransaction::End() {
    ended_ = true;
    if (joined_ != nullptr) {
        code_ = joined_->Outcome();
        return;
    }
    // From here on the routines work on the store outside any transaction.
    inUse_.transaction_ = nullptr;
    if (begun_) {
        if (code_ == kErrorSuccess) {
            code_ = session_.backend().CommitTransaction();
        } else {
            (void)session_.backend().RollbackTransaction();
        }
    }
    gLastRegistryResult = code_;
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
    if (RegistryCalls::Skipped()) {
        return false;
    }
    auto& backend = RegistryCalls::Backend();
    RegistryHandle handle = 0;
    RegistryCalls::NoteRead(backend.OpenKey(root, keyPath, handle));
    // The handle decides, not the open's return code.
    const bool exists = handle != 0;
    gLastRegistryResult = backend.CloseKey(handle);
    return exists;
}

TaggedValue ReadRegistryString(RegistryRoot root, const std::string& keyPath,
                               const std::string& valueName) {
    if (RegistryCalls::Skipped()) {
        return std::string();
    }
    auto& backend = RegistryCalls::Backend();
    RegistryHandle handle = 0;
    std::uint32_t size = 0;
    std::uint32_t kind = kRegNone;
    TaggedValue result = std::string();
    RegistryCalls::NoteRead(backend.OpenKey(root, keyPath, handle));
    if (handle != 0) {
        // A missing value leaves the kind at 0, which reads as empty text below.
        RegistryCalls::NoteRead(backend.QueryValue(handle, valueName, kind, nullptr, size));
        if (kind == kRegSz && size > kLargestText) {
            // Far beyond any setting: read as empty text rather than allocate without bound.
            RegistryCalls::NoteRead(kErrorMoreData);
        } else if (kind == kRegSz) {
            std::vector<std::uint8_t> buffer(size, ' ');
            std::uint32_t secondKind = kRegNone;
            std::uint32_t filled = size;
            RegistryCalls::NoteRead(
                backend.QueryValue(handle, valueName, secondKind, buffer.data(), filled));
            if (gLastRegistryResult == kErrorSuccess) {
                // Another process may have shortened the value between the two queries.
                buffer.resize(std::min(filled, size));
                result = FromAnsi(
                    std::string(buffer.begin(), std::find(buffer.begin(), buffer.end(), 0)));
            }
        } else if (kind == kRegDword) {
            std::uint8_t number[4] = {};
            std::uint32_t numberSize = sizeof number;
            RegistryCalls::NoteRead(
                backend.QueryValue(handle, valueName, kind, number, numberSize));
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
    if (RegistryCalls::Skipped()) {
        return;
    }
    auto& backend = RegistryCalls::Backend();
    RegistryHandle handle = 0;
    RegistryCalls::NoteWrite(backend.CreateKey(root, keyPath, handle));
    // The length is that of the ANSI bytes plus the closing NUL: a character count would cut
    // the text short in a multi-byte code page.
    const std::string ansi = ToAnsi(TrimSpaces(TaggedValueText(value)));
    std::vector<std::uint8_t> data(ansi.begin(), ansi.end());
    data.push_back(0);
    RegistryCalls::NoteWrite(backend.SetValue(handle, valueName, kRegSz, data.data(),
                                              static_cast<std::uint32_t>(data.size())));
    gLastRegistryResult = backend.CloseKey(handle);
}

std::vector<std::string> RegistryValueNames(RegistryRoot root, const std::string& keyPath) {
    std::vector<std::string> names;
    if (RegistryCalls::Skipped()) {
        return names;
    }
    auto& backend = RegistryCalls::Backend();
    RegistryHandle handle = 0;
    RegistryCalls::NoteRead(backend.OpenKey(root, keyPath, handle));
    if (handle != 0) {
        std::vector<RegistryValueEntry> values;
        RegistryCalls::NoteRead(backend.EnumValues(handle, values));
        for (auto& value : values) {
            names.push_back(std::move(value.name));
        }
    }
    gLastRegistryResult = backend.CloseKey(handle);
    return names;
}

void DeleteRegistryValue(RegistryRoot root, const std::string& keyPath,
                         const std::string& valueName) {
    if (RegistryCalls::Skipped()) {
        return;
    }
    auto& backend = RegistryCalls::Backend();
    RegistryHandle handle = 0;
    RegistryCalls::NoteRead(backend.OpenKey(root, keyPath, handle));
    if (handle != 0) {
        const std::int32_t rc = backend.DeleteValue(handle, valueName);
        RegistryCalls::NoteWrite(rc == kErrorFileNotFound ? kErrorSuccess : rc);
    }
    gLastRegistryResult = backend.CloseKey(handle);
}

void CreateRegistryKey(RegistryRoot root, const std::string& keyPath) {
    if (RegistryCalls::Skipped()) {
        return;
    }
    auto& backend = RegistryCalls::Backend();
    RegistryHandle handle = 0;
    RegistryCalls::NoteWrite(backend.CreateKey(root, keyPath, handle));
    gLastRegistryResult = backend.CloseKey(handle);
}

}  // namespace vellamark
