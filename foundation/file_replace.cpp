#include "foundation/file_replace.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "foundation/md5.hpp"

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
    if (name_fd >= 0) ::close(name_fd);
}

namespace {

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// A socket bound to a name of the abstract namespace, or -1 with errno.
int bind_name(const std::string& name) {
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&address),
               static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length)) != 0) {
        const int e = errno;
        ::close(s);
        errno = e;
        return -1;
    }
    return s;
}

} // namespace

file_lock::outcome file_lock::acquire(const std::string& at) {
    path = at;
    if (name_fd < 0) {
        struct stat folder;
        if (::stat(folder_of(path).c_str(), &folder) != 0) {
            failure = errno;
            return unavailable;
        }
        const std::size_t slash = path.rfind('/');
        const std::string name = "korvex-lock:" + std::to_string(folder.st_dev) + ":" +
                                 std::to_string(folder.st_ino) + ":" +
                                 md5(slash == std::string::npos ? path : path.substr(slash + 1)).hexdigest();
        name_fd = bind_name(name);
        if (name_fd < 0 && errno == EADDRINUSE) return busy;
        // Where the host has no such sockets (a sandbox) the file alone
        // locks, as long as nobody removes it.
    }
    return lock_file();
}

file_lock::outcome file_lock::lock_file() {
    // A file deleted or replaced between the open and the lock is not the
    // one the next process finds: lock again the one that is there now.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int f = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (f < 0) {
            failure = errno;
            return unavailable;
        }
        while (::flock(f, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR) continue;
            failure = errno;
            ::close(f);
            return failure == EWOULDBLOCK ? busy : unavailable;
        }
        struct stat held, named;
        if (::fstat(f, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && same_file(held, named)) {
            if (fd >= 0) ::close(fd);
            fd = f;
            return locked;
        }
        ::close(f);
    }
    failure = EAGAIN;
    return unavailable;
}

file_lock::outcome file_lock::renew() {
    struct stat held, named;
    if (fd >= 0 && ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && same_file(held, named))
        return locked;
    return lock_file();
}

} // namespace sea
