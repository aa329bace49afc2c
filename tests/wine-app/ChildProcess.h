#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

namespace tamsivo::test {

// A program started by the harness: spawned with its own argument list, environment, working
// folder and output file, waited for with a deadline, killed when it overruns.
class ChildProcess {
public:
    struct Options {
        std::vector<std::string> argv;        // argv[0] is a path
        std::vector<std::string> environment; // the whole environment, "NAME=value"
        std::string workingDir;               // empty: the harness's own
        std::string outputPath;               // standard output and error; empty: /dev/null
        int passFd = -1;                      // handed to the program as its descriptor 3
    };

    ChildProcess() = default;
    ~ChildProcess(); // kills a program that still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const Options& options, std::string* error);
    // Waits until the program has ended or `deadline` has passed; true when it has ended.
    bool Wait(std::chrono::milliseconds deadline);
    // Ends the program at once and reaps it.
    void Kill();
    // Asks the program to end (SIGTERM), then kills it when it has not after `grace`.
    void Stop(std::chrono::milliseconds grace);

    bool Running() const { return pid_ > 0 && !ended_; }
    // Ended by itself with exit code 0.
    bool Succeeded() const;
    int ExitCode() const; // -1 unless it ended by itself
    pid_t Pid() const { return pid_; }
    long long ElapsedMs() const;
    // "exit status 0 after 812 ms", "killed after overrunning its deadline", ...
    std::string Describe() const;

    // Runs a program to its end: Start, then Wait; one that overruns `deadline` is killed.
    static ChildProcess Run(const Options& options, std::chrono::milliseconds deadline);

    ChildProcess(ChildProcess&& other) noexcept;

private:
    void Reap();

    using Clock = std::chrono::steady_clock;
    pid_t pid_ = -1;
    int pidFd_ = -1;
    bool ended_ = false;
    bool killed_ = false;
    int status_ = 0;
    std::string startError_;
    Clock::time_point start_;
    Clock::time_point end_;
};

} // namespace tamsivo::test
