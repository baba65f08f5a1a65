#include "tools/vellamark-reg/reg_command.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <istream>
#include <optional>
#include <ostream>

#include "cipher/hex_text.h"
#include "platform/result.h"
#include "platform/text.h"
#include "store/registry.h"

namespace vellamark {
namespace {

constexpr char kNotFound[] =
    "ERROR: The system was unable to find the specified registry key or value.";
constexpr char kUsage[] =
    "Usage:\n"
    "  vellamark-reg query  <KEY> [/v <NAME> | /ve]\n"
    "  vellamark-reg add    <KEY> [/v <NAME> | /ve] [/t <KIND>] [/d <DATA>] [/f]\n"
    "  vellamark-reg delete <KEY> [/v <NAME> | /ve] [/f]\n"
    "KEY begins with HKCU\\ or HKEY_CURRENT_USER\\. KIND is REG_SZ (the default),\n"
    "REG_EXPAND_SZ, REG_MULTI_SZ (entries separated by \\0), REG_DWORD (decimal or 0x-hex) or\n"
    "REG_BINARY (hexadecimal digits).\n";

struct KindName {
    std::uint32_t kind;
    const char* name;
};
constexpr KindName kKindNames[] = {
    {kRegNone, "REG_NONE"},          {kRegSz, "REG_SZ"},
    {kRegExpandSz, "REG_EXPAND_SZ"}, {kRegBinary, "REG_BINARY"},
    {kRegDword, "REG_DWORD"},        {kRegDwordBigEndian, "REG_DWORD_BIG_ENDIAN"},
    {kRegLink, "REG_LINK"},          {kRegMultiSz, "REG_MULTI_SZ"},
    {kRegQword, "REG_QWORD"},
};

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string KindText(std::uint32_t kind) {
    for (const auto& entry : kKindNames) {
        if (entry.kind == kind) {
            return entry.name;
        }
    }
    return "REG_UNKNOWN(" + std::to_string(kind) + ")";
}

std::string ErrorText(std::int32_t code) {
    switch (code) {
        case kErrorFileNotFound:
        case kErrorKeyDeleted:
            return kNotFound;
        case kErrorAccessDenied:
            return "ERROR: Access is denied.";
        case kErrorBusy:
            return "ERROR: The registry is busy; try again.";
        case kErrorBadPathname:
            return "ERROR: Invalid key name.";
        default: {
            std::string text = RegistryErrorText(code);
            text.front() =
                static_cast<char>(std::toupper(static_cast<unsigned char>(text.front())));
            return "ERROR: " + text + ".";
        }
    }
}

std::uint32_t LittleEndian(const std::vector<std::uint8_t>& data, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = std::min(size, data.size()); i-- > 0;) {
        value = (value << 8) | data[i];
    }
    return static_cast<std::uint32_t>(value);
}

// The data as reg shows it.
std::string DataText(const RegistryValueEntry& value) {
    const auto& data = value.data;
    switch (value.kind) {
        case kRegSz:
        case kRegExpandSz:
            return FromAnsi(std::string(data.begin(), std::find(data.begin(), data.end(), 0)));
        case kRegMultiSz: {
            // Entries end with NUL and the list with a second one. reg shows every entry, empty
            // ones too, joined with "\0", up to the closing NULs.
            auto end = data.end();
            while (end != data.begin() && *(end - 1) == 0) {
                --end;
            }
            std::string text;
            for (auto start = data.begin();;) {
                const auto stop = std::find(start, end, 0);
                text += FromAnsi(std::string(start, stop));
                if (stop == end) {
                    return text;
                }
                text += "\\0";
                start = stop + 1;
            }
        }
        case kRegDword: {
            char hex[16];
            const auto end = std::to_chars(hex, hex + sizeof hex, LittleEndian(data, 4), 16).ptr;
            return "0x" + std::string(hex, end);
        }
        default:
            return BytesToHexText(Bytes(data.begin(), data.end()));
    }
}

struct Command {
    std::string verb;
    std::string keyText;  // as shown: the root's long name, the path without a closing backslash
    std::string path;
    std::optional<std::string> valueName;
    std::string kindName = "REG_SZ";
    std::optional<std::string> data;
    bool force = false;
};

// Parses the arguments; fails with the one-line error.
Status Parse(const std::vector<std::string>& args, Command& command) {
    if (args.size() < 2) {
        return Status::Fail(
            "ERROR: Invalid syntax: a command and a key are needed. Type \"vellamark-reg /?\" "
            "for usage.");
    }
    command.verb = Upper(args[0]);
    if (command.verb != "QUERY" && command.verb != "ADD" && command.verb != "DELETE") {
        return Status::Fail("ERROR: Invalid syntax: unknown command \"" + args[0] +
                            "\". Type \"vellamark-reg /?\" for usage.");
    }
    std::string key = args[1];
    const auto slash = key.find('\\');
    const std::string root = Upper(key.substr(0, slash));
    if (root != "HKCU" && root != "HKEY_CURRENT_USER") {
        return Status::Fail("ERROR: Invalid key name: \"" + args[1] +
                            "\" does not begin with HKCU\\ or HKEY_CURRENT_USER\\.");
    }
    command.path = slash == std::string::npos ? std::string() : key.substr(slash + 1);
    if (!command.path.empty() && command.path.back() == '\\') {
        command.path.pop_back();
    }
    command.keyText = "HKEY_CURRENT_USER" + (command.path.empty() ? "" : "\\" + command.path);
    bool kindGiven = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string option = Upper(args[i]);
        const bool takesValue = option == "/V" || option == "/T" || option == "/D";
        if (takesValue && i + 1 >= args.size()) {
            return Status::Fail("ERROR: Invalid syntax: " + args[i] + " needs a value.");
        }
        if (option == "/V" || option == "/VE") {
            if (command.valueName) {
                return Status::Fail(("ERROR: Invalid syntax: /v or /ve given twice."));
            }
            command.valueName = option == "/VE" ? std::string() : args[++i];
        } else if (option == "/T" && command.verb == "ADD") {
            command.kindName = Upper(args[++i]);
            kindGiven = true;
        } else if (option == "/D" && command.verb == "ADD") {
            command.data = args[++i];
        } else if (option == "/F" && command.verb != "QUERY") {
            command.force = true;
        } else {
            return Status::Fail("ERROR: Invalid syntax: unexpected \"" + args[i] + "\" for " +
                                Upper(command.verb) + ".");
        }
    }
    if (command.verb == "ADD" && !command.valueName && (kindGiven || command.data)) {
        return Status::Fail(("ERROR: Invalid syntax: /t and /d need /v <NAME> or /ve."));
    }
    return Status::Ok();
}

// The bytes to store for ADD; fails with the error when the data does not fit the kind.
Result<std::vector<std::uint8_t>> Encode(const Command& command, std::uint32_t& kind) {
    using Encoded = Result<std::vector<std::uint8_t>>;
    const std::string data = command.data.value_or("");
    const auto kindEntry =
        std::find_if(std::begin(kKindNames), std::end(kKindNames),
                     [&](const KindName& k) { return command.kindName == k.name; });
    kind = kindEntry == std::end(kKindNames) ? kRegNone : kindEntry->kind;
    if (kind == kRegSz || kind == kRegExpandSz) {
        const std::string ansi = ToAnsi(data);
        std::vector<std::uint8_t> bytes(ansi.begin(), ansi.end());
        bytes.push_back(0);
        return bytes;
    }
    if (kind == kRegMultiSz) {
        std::vector<std::uint8_t> bytes;
        std::size_t start = 0;
        while (!data.empty()) {
            const auto end = data.find("\\0", start);
            const std::string entry = ToAnsi(data.substr(start, end - start));
            bytes.insert(bytes.end(), entry.begin(), entry.end());
            bytes.push_back(0);
            if (end == std::string::npos) {
                break;
            }
            start = end + 2;
        }
        bytes.push_back(0);
        return bytes;
    }
    if (kind == kRegDword) {
        const bool hex = data.size() > 2 && data[0] == '0' && (data[1] == 'x' || data[1] == 'X');
        const char* first = data.data() + (hex ? 2 : 0);
        const char* last = data.data() + data.size();
        std::uint32_t number = 0;
        const auto [end, ec] = std::from_chars(first, last, number, hex ? 16 : 10);
        if (data.empty() || ec != std::errc() || end != last) {
            return Encoded::Fail(
                "ERROR: Invalid syntax: REG_DWORD data must be a number from 0 to 4294967295 "
                "(decimal or 0x-hex), not \"" +
                data + "\".");
        }
        return std::vector<std::uint8_t>{
            static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
    }
    if (kind == kRegBinary) {
        const bool valid = data.size() % 2 == 0 &&
                           std::all_of(data.begin(), data.end(),
                                       [](unsigned char c) { return std::isxdigit(c) != 0; });
        if (!valid) {
            return Encoded::Fail(
                "ERROR: Invalid syntax: REG_BINARY data must be pairs of hexadecimal digits, "
                "not \"" +
                data + "\".");
        }
        const auto bytes = HexTextToBytes(data);
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    }
    return Encoded::Fail("ERROR: Invalid syntax: unsupported kind \"" + command.kindName +
                         "\" (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD or REG_BINARY).");
}

bool Confirm(std::istream& in, std::ostream& out, const std::string& question) {
    out << question << " (Yes/No)? " << std::flush;
    std::string answer;
    std::getline(in, answer);
    answer = Upper(answer);
    return answer == "Y" || answer == "YES";
}

// Closes the handle on every path out of a command.
class OpenKey {
public:
    OpenKey(RegistryBackend& backend, const std::string& path, bool create) : backend_(backend) {
        result_ = create ? backend.CreateKey(kHkeyCurrentUser, path, handle_)
                         : backend.OpenKey(kHkeyCurrentUser, path, handle_);
    }
    ~OpenKey() {
        if (handle_ != 0) {
            (void)backend_.CloseKey(handle_);
        }
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    [[nodiscard]] std::int32_t result() const { return handle_ != 0 ? kErrorSuccess : result_; }
    [[nodiscard]] RegistryHandle handle() const { return handle_; }

private:
    RegistryBackend& backend_;
    RegistryHandle handle_ = 0;
    std::int32_t result_;
};

int Fail(std::ostream& err, const std::string& message) {
    err << message << "\n";
    return 1;
}

int Query(const Command& command, RegistryBackend& backend, std::ostream& out, std::ostream& err) {
    const OpenKey key(backend, command.path, false);
    if (key.result() != kErrorSuccess) {
        return Fail(err, ErrorText(key.result()));
    }
    std::vector<RegistryValueEntry> values;
    if (const auto rc = backend.EnumValues(key.handle(), values); rc != kErrorSuccess) {
        return Fail(err, ErrorText(rc));
    }
    if (command.valueName) {
        const auto wanted = Upper(*command.valueName);
        std::erase_if(values, [&](const RegistryValueEntry& v) { return Upper(v.name) != wanted; });
        if (values.empty()) {
            return Fail(err, kNotFound);
        }
    }
    // As reg lays it out: a blank line; the key and its values, and a blank line, when it has
    // values; then each subkey's full name (not for one value).
    std::vector<std::string> subkeys;
    if (!command.valueName) {
        if (const auto rc = backend.EnumSubkeys(key.handle(), subkeys); rc != kErrorSuccess) {
            return Fail(err, ErrorText(rc));
        }
    }
    out << "\n";
    if (!values.empty()) {
        out << command.keyText << "\n";
        for (const auto& value : values) {
            out << "    " << (value.name.empty() ? "(Default)" : value.name) << "    "
                << KindText(value.kind) << "    " << DataText(value) << "\n";
        }
        out << "\n";
    }
    for (const auto& subkey : subkeys) {
        out << command.keyText << "\\" << subkey << "\n";
    }
    return 0;
}

int Add(const Command& command, RegistryBackend& backend, std::istream& in, std::ostream& out,
        std::ostream& err) {
    std::uint32_t kind = kRegNone;
    std::vector<std::uint8_t> data;
    if (command.valueName) {
        auto encoded = Encode(command, kind);
        if (!encoded) {
            return Fail(err, encoded.error());
        }
        data = std::move(*encoded);
    }
    const OpenKey key(backend, command.path, true);
    if (key.result() != kErrorSuccess) {
        return Fail(err, ErrorText(key.result()));
    }
    if (command.valueName) {
        std::uint32_t oldKind = kRegNone;
        std::uint32_t oldSize = 0;
        const bool exists = backend.QueryValue(key.handle(), *command.valueName, oldKind, nullptr,
                                               oldSize) == kErrorSuccess;
        if (exists && !command.force &&
            !Confirm(in, out,
                     "Value " + (command.valueName->empty() ? "(Default)" : *command.valueName) +
                         " exists, overwrite")) {
            return Fail(err, "ERROR: The value was not overwritten.");
        }
        const auto rc = backend.SetValue(key.handle(), *command.valueName, kind, data.data(),
                                         static_cast<std::uint32_t>(data.size()));
        if (rc != kErrorSuccess) {
            return Fail(err, ErrorText(rc));
        }
    }
    out << "The operation completed successfully.\n";
    return 0;
}

int Delete(const Command& command, RegistryBackend& backend, std::istream& in, std::ostream& out,
           std::ostream& err) {
    if (command.valueName) {
        const OpenKey key(backend, command.path, false);
        if (key.result() != kErrorSuccess) {
            return Fail(err, ErrorText(key.result()));
        }
        std::uint32_t kind = kRegNone;
        std::uint32_t size = 0;
        if (const auto rc =
                backend.QueryValue(key.handle(), *command.valueName, kind, nullptr, size);
            rc != kErrorSuccess) {
            return Fail(err, ErrorText(rc));
        }
        if (!command.force &&
            !Confirm(in, out,
                     "Delete the registry value " +
                         (command.valueName->empty() ? "(Default)" : *command.valueName))) {
            return Fail(err, "ERROR: Nothing was deleted.");
        }
        if (const auto rc = backend.DeleteValue(key.handle(), *command.valueName);
            rc != kErrorSuccess) {
            return Fail(err, ErrorText(rc));
        }
    } else {
        if (command.path.empty()) {
            return Fail(err, "ERROR: Access is denied: the root key cannot be deleted.");
        }
        {
            const OpenKey key(backend, command.path, false);
            if (key.result() != kErrorSuccess) {
                return Fail(err, ErrorText(key.result()));
            }
        }
        if (!command.force &&
            !Confirm(in, out, "Permanently delete the registry key " + command.keyText)) {
            return Fail(err, "ERROR: Nothing was deleted.");
        }
        if (const auto rc = backend.DeleteKeyTree(kHkeyCurrentUser, command.path);
            rc != kErrorSuccess) {
            return Fail(err, ErrorText(rc));
        }
    }
    out << "The operation completed successfully.\n";
    return 0;
}

}  // namespace

StoreAccess RegCommandAccess(const std::vector<std::string>& args) {
    const std::string verb = args.empty() ? std::string() : Upper(args[0]);
    return verb == "ADD" || verb == "DELETE" ? StoreAccess::kReadWrite : StoreAccess::kReadOnly;
}

int RunRegCommand(const std::vector<std::string>& args, RegistryBackend& backend, std::istream& in,
                  std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && (args[0] == "/?" || args[0] == "-h" || args[0] == "--help")) {
        out << kUsage;
        return 0;
    }
    Command command;
    if (const Status parsed = Parse(args, command); !parsed) {
        return Fail(err, parsed.error());
    }
    if (command.verb == "QUERY") {
        return Query(command, backend, out, err);
    }
    if (command.verb == "ADD") {
        return Add(command, backend, in, out, err);
    }
    return Delete(command, backend, in, out, err);
}

}  // namespace vellamark
