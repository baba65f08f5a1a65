#include "launch/page_file.h"

#include <cerrno>
#include <system_error>
#include <vector>

#include "launch/page_file_system.h"
#include "platform/files.h"
#include "platform/owned_fd.h"
#include "platform/text.h"

namespace vellamark {
namespace {

std::string ErrnoText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

bool IsPageFileName(std::string name) {
    if (kPageFileNamesIgnoreCase) {
        for (char& c : name) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
    }
    constexpr std::string_view prefix = "vellamar";
    constexpr std::string_view suffix = ".htm";
    return name.size() >= prefix.size() + suffix.size() && name.starts_with(prefix) &&
           name.ends_with(suffix);
}

}  // namespace

void RemovePageFile(const std::string& path) {
    static_cast<void>(RemoveFile(path));  // as far as possible: nothing more can be done
}

std::string ChoosePageFolder(const std::string& programFolder, const std::string& tempFolder) {
    if (!programFolder.empty() && KindFollowingLinks(programFolder) == FileKind::kFolder &&
        MayCreateFilesIn(programFolder)) {
        return programFolder;
    }
    return tempFolder;
}

std::string PageFilePath(const std::string& folder, std::string_view timeText) {
    return JoinPath(folder, "vellamar_" + std::string(timeText) + ".htm");
}

Status RemoveOldPageFiles(const std::string& folder) {
    // A folder that is not there holds no old pages (and lists as empty); writing the new one
    // will say why.
    const auto entries = ListFolder(folder);
    if (!entries) {
        return Status::Fail("The folder " + folder +
                            " could not be searched for old login pages (" + entries.error() +
                            "). Check that it exists and that you may read it.");
    }
    // Collected first, deleted after: deleting while the directory is being read may skip
    // entries.
    std::vector<std::string> oldPages;
    for (const FolderEntry& entry : *entries) {
        if (IsPageFileName(entry.name) && entry.kind == FileKind::kFile && !entry.hidden) {
            oldPages.push_back(JoinPath(folder, entry.name));
        }
    }
    for (const std::string& path : oldPages) {
        if (const Status removed = RemoveFile(path); !removed) {
            return Status::Fail("The old login page " + path + " could not be deleted (" +
                                removed.error() +
                                "). It holds a password: delete it by hand, then log in again.");
        }
    }
    return Status::Ok();
}

Status WritePageFile(const std::string& path, std::string_view page) {
    const auto fail = [&path](int errorNumber) {
        return Status::Fail("The login page could not be written to " + path + " (" +
                            ErrnoText(errorNumber) +
                            "). Check that the folder exists, that you may write to it and "
                            "that the disk is not full, or switch off \"Create Browser Login\".");
    };

    std::string bytes = ToAnsi(page);
    bytes += "\r\n";

    const auto inTheWay = [&path] {
        return Status::Fail("The login page could not be written to " + path +
                            ": something that is not a plain file (a link, a pipe, a device or "
                            "a folder) has that name. Remove it, then log in again.");
    };
    OwnedFd file(OpenForWriting(path));
    if (!file.Valid()) {
        const int errorNumber = errno;
        return NotPlainFileError(errorNumber) ? inTheWay() : fail(errorNumber);
    }
    if (!IsPlainFile(file.Get())) {
        return inTheWay();  // nothing was written to it, and it is not ours to delete
    }
    if (!RestrictToOwner(file.Get())) {
        return fail(errno);
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const long count = WriteSome(file.Get(), bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            const int errorNumber = count == 0 ? ENOSPC : errno;
            static_cast<void>(file.Close());  // Windows deletes no file that is still open
            RemovePageFile(path);             // a page cut short still holds the password
            return fail(errorNumber);
        }
        written += static_cast<std::size_t>(count);
    }
    if (!file.Close()) {
        const int errorNumber = errno;
        RemovePageFile(path);  // a page cut short still holds the password
        return fail(errorNumber);
    }
    return Status::Ok();
}

}  // namespace vellamark
