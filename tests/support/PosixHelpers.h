#pragma once

#include "BkSimulator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

// What the native suites share beyond packages: a child process, a running simulator, bytes
// awaited from a descriptor, files read and written whole, and texts spelled in UTF-8.
namespace tamsivo::test {

// Runs `body` in a forked child, which may take other ids or limits without changing this
// process; true when it returned true there. `namespaces` of its own (root only), CLONE_NEWNS
// among them, let it lay a fake over a system file or folder, unseen by every other process.
inline bool InChild(const std::function<bool()>& body, int namespaces = 0) {
    const pid_t child = ::fork();
    if (child == 0) {
        // Private mounts: a mount of its own propagates to nobody.
        const bool apart =
            namespaces == 0 || (::unshare(namespaces) == 0 &&
                                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0);
        ::_exit(apart && body() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// A simulated adapter and computer serving a new pseudo-terminal; a failed start fails the test.
inline std::unique_ptr<sim::BkSimulator> StartSimulator(sim::BkSimConfig config = {}) {
    auto simulator = std::make_unique<sim::BkSimulator>(std::move(config));
    std::string error;
    EXPECT_TRUE(simulator->Start(&error)) << error;
    return simulator;
}

// Up to `count` bytes from `fd`, fewer when nothing more comes within 5 s.
inline std::vector<std::uint8_t> ReadAll(int fd, std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    std::size_t done = 0;
    for (pollfd pfd{fd, POLLIN, 0};
         count > done && ::poll(&pfd, 1, 5000) > 0 && (pfd.revents & POLLIN) != 0;) {
        const ssize_t n = ::read(fd, bytes.data() + done, count - done);
        if (n <= 0) {
            break; // a hung-up peer stays readable for ever
        }
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

// The file's bytes; empty when it cannot be read.
inline std::string ReadWhole(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// Writes `text` as the file's bytes, making the folders it needs.
inline void WriteWhole(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string Utf8(const char8_t* text) {
    return reinterpret_cast<const char*>(text);
}

} // namespace tamsivo::test
