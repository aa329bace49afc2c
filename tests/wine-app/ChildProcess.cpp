#include "ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tamsivo::test {

ChildProcess::~ChildProcess() {
    if (Running()) {
        Kill();
    }
    if (pidFd_ >= 0) {
        ::close(pidFd_);
    }
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(other.pid_), pidFd_(other.pidFd_), ended_(other.ended_), killed_(other.killed_),
      status_(other.status_), startError_(std::move(other.startError_)), start_(other.start_),
      end_(other.end_) {
    other.pid_ = -1;
    other.pidFd_ = -1;
}

bool ChildProcess::Start(const Options& options, std::string* error) {
    std::vector<char*> args;
    for (const std::string& arg : options.argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> envs;
    for (const std::string& entry : options.environment) {
        envs.push_back(const_cast<char*>(entry.c_str()));
    }
    envs.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const std::string output = options.outputPath.empty() ? "/dev/null" : options.outputPath;
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (options.passFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, options.passFd, 3);
    }
    if (!options.workingDir.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, options.workingDir.c_str());
    }
    start_ = Clock::now();
    const int spawned = ::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envs.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        startError_ = options.argv[0] + ": " + std::strerror(spawned);
        *error = startError_;
        return false;
    }
    // A descriptor that becomes readable when the program ends: waits with a deadline need
    // neither a thread nor signals.
    pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    if (pidFd_ < 0) {
        *error = std::string("pidfd_open: ") + std::strerror(errno);
        Kill();
        return false;
    }
    return true;
}

void ChildProcess::Reap() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    status_ = status;
    ended_ = true;
    end_ = Clock::now();
}

bool ChildProcess::Wait(std::chrono::milliseconds deadline) {
    if (!Running()) {
        return ended_;
    }
    const auto until = Clock::now() + deadline;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        pollfd entry{pidFd_, POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::max<long long>(0, left.count())));
        if (ready > 0) {
            Reap();
            return true;
        }
        if (ready == 0 || (ready < 0 && errno != EINTR)) {
            return false;
        }
    }
}

void ChildProcess::Kill() {
    if (!Running()) {
        return;
    }
    ::kill(pid_, SIGKILL);
    killed_ = true;
    Reap();
}

void ChildProcess::Stop(std::chrono::milliseconds grace) {
    if (!Running()) {
        return;
    }
    ::kill(pid_, SIGTERM);
    if (!Wait(grace)) {
        Kill();
    }
}

bool ChildProcess::Succeeded() const {
    return ended_ && !killed_ && WIFEXITED(status_) && WEXITSTATUS(status_) == 0;
}

int ChildProcess::ExitCode() const {
    return ended_ && !killed_ && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

long long ChildProcess::ElapsedMs() const {
    const auto end = ended_ ? end_ : Clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(end - start_).count();
}

std::string ChildProcess::Describe() const {
    std::ostringstream text;
    if (pid_ <= 0 && !startError_.empty()) {
        return "could not start: " + startError_;
    }
    if (killed_) {
        text << "killed after overrunning its deadline";
    } else if (!ended_) {
        text << "still running";
    } else if (WIFEXITED(status_)) {
        text << "exit status " << WEXITSTATUS(status_);
    } else if (WIFSIGNALED(status_)) {
        text << "killed by signal " << WTERMSIG(status_);
    }
    text << " after " << ElapsedMs() << " ms";
    return text.str();
}

ChildProcess ChildProcess::Run(const Options& options, std::chrono::milliseconds deadline) {
    ChildProcess process;
    std::string error;
    if (process.Start(options, &error) && !process.Wait(deadline)) {
        process.Kill();
    }
    return process;
}

} // namespace tamsivo::test
