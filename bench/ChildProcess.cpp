#include "ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tamsivo::bench {
namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

} // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv, const std::filesystem::path& folder,
                           const std::filesystem::path& log, bool readOutput) {
    std::vector<char*> args;
    for (std::string& argument : argv) {
        args.push_back(argument.data());
    }
    args.push_back(nullptr);
    int out[2] = {-1, -1};
    if (readOutput && ::pipe2(out, O_CLOEXEC) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, readOutput ? out[1] : STDERR_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    startSeconds_ = Now();
    if (::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (readOutput) {
        ::close(out[1]);
        output_ = ::fdopen(out[0], "r");
    }
}

ChildProcess::~ChildProcess() {
    Wait();
}

std::optional<std::string> ChildProcess::NextLine() {
    if (output_ == nullptr) {
        return std::nullopt;
    }
    char* line = nullptr;
    std::size_t capacity = 0;
    const ssize_t length = ::getline(&line, &capacity, output_);
    std::optional<std::string> text;
    if (length > 0) {
        text.emplace(line, static_cast<std::size_t>(length));
        if (text->back() == '\n') {
            text->pop_back();
        }
    }
    std::free(line);
    return text;
}

ChildProcess::Ending ChildProcess::Wait() {
    Ending ending;
    while (NextLine()) {
    }
    if (output_ != nullptr) {
        std::fclose(output_);
        output_ = nullptr;
    }
    if (pid_ <= 0) {
        return ending;
    }
    int status = 0;
    rusage usage{};
    // wait4: the child's own resource use, not that of every child this process has had.
    while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    ending.wallSeconds = Now() - startSeconds_;
    ending.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    ending.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
    return ending;
}

int Run(std::vector<std::string> argv, const std::filesystem::path& folder,
        const std::filesystem::path& log) {
    return ChildProcess(std::move(argv), folder, log, false).Wait().exitCode;
}

} // namespace tamsivo::bench
