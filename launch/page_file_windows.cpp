#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <string>

#include "launch/page_file_system.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vellamark {

const bool kPageFileNamesIgnoreCase = true;

int OpenForWriting(const std::string& path) {
    return _wopen(WideFromUtf8(path).c_str(),
                  _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

bool IsPlainFile(int fd) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK;
}

bool NotPlainFileError(int errorNumber) {
    return errorNumber == EISDIR;
}

// The folder's access list decides on Windows.
bool RestrictToOwner(int /*fd*/) {
    return true;
}

long WriteSome(int fd, const char* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(size > 0x10000000 ? 0x10000000 : size));
}

}  // namespace vellamark
