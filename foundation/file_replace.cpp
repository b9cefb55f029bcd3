#include "foundation/file_replace.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace sea {

namespace {

int write_all(int fd, std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : ENOSPC;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

int replace_file(const std::string& path, const std::vector<std::string_view>& pieces, mode_t mode) {
    const std::string temporary = path + ".tmp";
    // A temporary file left by a killed writer is ours to replace; a link
    // planted there is not followed.
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) return errno;
    int failure = 0;
    for (std::size_t i = 0; failure == 0 && i < pieces.size(); ++i) failure = write_all(fd, pieces[i]);
#ifdef KORVEX_TEST_HOOKS
    // Tests end the process here to show that a kill in the middle of a
    // write leaves the old file whole. Builds with KORVEX_TEST_HOOKS only.
    if (failure == 0 && std::getenv("KORVEX_TEST_KILL_IN_FILE_WRITE")) ::kill(::getpid(), SIGKILL);
#endif
    if (failure == 0 && ::fchmod(fd, mode) != 0) failure = errno;
    if (failure == 0 && ::fsync(fd) != 0) failure = errno;
    if (::close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
    if (failure != 0) {
        ::unlink(temporary.c_str());
        return failure;
    }
    // The rename itself survives a crash of the machine only once the
    // folder is synced; a folder that cannot be synced still has the file.
    const int folder = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return 0;
}

file_lock::~file_lock() {
    if (fd >= 0) ::close(fd);
}

file_lock::outcome file_lock::acquire(const std::string& path) {
    if (fd < 0) fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return unavailable;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        return errno == EWOULDBLOCK ? busy : unavailable;
    }
    return locked;
}

} // namespace sea
