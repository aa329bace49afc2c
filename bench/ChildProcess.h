#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <cstdio>
#include <sys/types.h>

namespace tamsivo::bench {

// A program the benches run in a process of its own, as its users run it: its output line by
// line, and what it cost.
class ChildProcess {
public:
    // Starts argv[0] (a path, or a name looked up in PATH) in `folder`, environment inherited. With
    // `readOutput` its standard output comes to NextLine() and its standard error goes to
    // `log`; without, both go to `log`.
    ChildProcess(std::vector<std::string> argv, const std::filesystem::path& folder,
                 const std::filesystem::path& log, bool readOutput);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line the child wrote, without its line end; nothing once its output has ended
    // (at once when it is not read).
    std::optional<std::string> NextLine();

    struct Ending {
        int exitCode = -1;      // -1: killed by a signal, or never started
        double cpuSeconds = 0;  // user + system time of the child, all its threads
        double wallSeconds = 0; // from its start to its end
    };
    // Reads the rest of the output, then waits for the child.
    Ending Wait();

private:
    pid_t pid_ = -1;
    std::FILE* output_ = nullptr;
    double startSeconds_ = 0;
};

// Runs a program to its end; its exit code, or -1.
int Run(std::vector<std::string> argv, const std::filesystem::path& folder,
        const std::filesystem::path& log);

} // namespace tamsivo::bench
