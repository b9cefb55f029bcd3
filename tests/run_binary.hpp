// Runs the built korvex binary as a child process and captures its exit
// status, standard output and standard error separately.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace korvex_test {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class scratch_dir {
public:
    scratch_dir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvex-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        root = pattern;
    }
    ~scratch_dir() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;

    std::string path(const std::string& name) const { return (root / name).string(); }

    // Writes text into name (making its folders) and returns its full path.
    std::string write(const std::string& name, const std::string& text) const {
        std::filesystem::create_directories((root / name).parent_path());
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
    }

    // Whole content of name; empty when it does not exist.
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    bool exists(const std::string& name) const { return std::filesystem::exists(root / name); }

    std::filesystem::path root;
};

struct binary_run {
    int status = -1;  // exit status, or -1 when the child did not exit normally
    int signal = 0;   // the signal that ended the child, if one did
    bool timed_out = false;  // killed at the time limit: a hang, not an answer
    std::string out;
    std::string err;
};

// Runs binary with args (argv[0] is the binary's path) in directory dir,
// with standard input read from stdin_file ("/dev/null" by default). A
// positive time limit (seconds) kills a child that outlives it, so that a
// hang fails its test instead of stalling the suite. With a time limit,
// `watch` is called with the child's id every few milliseconds while it runs
// (to signal it at a chosen moment).
inline binary_run run_binary(const std::string& binary, const std::vector<std::string>& args,
                             const std::string& dir, const std::string& stdin_file = "/dev/null",
                             double time_limit = 0, const std::function<void(pid_t)>& watch = {}) {
    scratch_dir capture;
    const std::string out_path = capture.path("stdout"), err_path = capture.path("stderr");
    // Everything the child needs is built before the fork: it only makes
    // system calls until exec.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(binary.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open(stdin_file.c_str(), O_RDONLY);
        const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::chdir(dir.c_str()) != 0) ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }
    binary_run result;
    int wstatus = 0;
    pid_t waited = -1;
    if (child > 0 && time_limit > 0) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(time_limit);
        while ((waited = ::waitpid(child, &wstatus, WNOHANG)) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(child, SIGKILL);
                result.timed_out = true;
                waited = ::waitpid(child, &wstatus, 0);
                break;
            }
            if (watch) watch(child);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    } else if (child > 0) {
        waited = ::waitpid(child, &wstatus, 0);
    }
    if (waited == child && WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
    if (waited == child && WIFSIGNALED(wstatus)) result.signal = WTERMSIG(wstatus);
    result.out = capture.read("stdout");
    result.err = capture.read("stderr");
    return result;
}

#ifdef KORVEX_BINARY
// The korvex binary of this build.
inline binary_run run_korvex(const std::vector<std::string>& args, const std::string& dir,
                             const std::string& stdin_file = "/dev/null", double time_limit = 0,
                             const std::function<void(pid_t)>& watch = {}) {
    return run_binary(KORVEX_BINARY, args, dir, stdin_file, time_limit, watch);
}
#endif

} // namespace korvex_test
