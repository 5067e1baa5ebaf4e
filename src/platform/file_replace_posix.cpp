#include "platform/file_replace.h"

#include "platform/text.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The folder's entry of the renamed file reaches the disk too; a folder that cannot be synced
// (some network file systems) leaves the rename as the system keeps it.
void syncFolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

ReplaceResult replaceFileContents(const std::wstring& name, const uint8_t* data, size_t size)
{
    static std::atomic<unsigned> counter{0};
    const std::string target = unicode2utf8(name);
    const std::string temp =
        target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    // The replacement keeps the permissions of the file it replaces.
    struct stat st {};
    const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return ReplaceResult::NotCreated;
    const bool written = writeAll(fd, data, size) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return ReplaceResult::NotWritten;
    }
    syncFolderOf(target);
    return ReplaceResult::Replaced;
}
