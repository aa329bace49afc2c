// The flasher's progress as a technician's terminal shows it: a pseudo-terminal of a chosen
// width stands for the console, and what the board wrote is read back from its master.
#include "ProgressBoard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace tamsivo {
namespace {

using cli::ProgressBoard;
using cli::ProgressStyle;

class ProgressOnATerminal : public ::testing::Test {
protected:
    void SetUp() override {
        termios raw{};
        ::cfmakeraw(&raw); // what is written arrives as written: no "\r\n" for "\n"
        ASSERT_EQ(::openpty(&master_, &slave_, nullptr, &raw, nullptr), 0);
        out_ = ::fdopen(slave_, "w");
        ASSERT_NE(out_, nullptr);
        ::setenv("TERM", "xterm", 1);
    }
    void TearDown() override {
        std::fclose(out_);
        ::close(master_);
    }

    void Resize(unsigned short columns) {
        const winsize size{24, columns, 0, 0};
        ASSERT_EQ(::ioctl(master_, TIOCSWINSZ, &size), 0);
    }

    // Everything written since the last call: a marker goes after it, and the master is read
    // up to the marker.
    std::string Drawn() {
        std::fflush(out_);
        const char marker = '\x01';
        EXPECT_EQ(::write(slave_, &marker, 1), 1);
        std::string text;
        char c = 0;
        pollfd readable{master_, POLLIN, 0};
        while (::poll(&readable, 1, 5000) == 1 && ::read(master_, &c, 1) == 1 && c != marker) {
            text += c;
        }
        EXPECT_EQ(c, marker) << "the terminal did not pass on what was written: " << text;
        return text;
    }

    int master_ = -1;
    int slave_ = -1;
    std::FILE* out_ = nullptr;
};

TEST_F(ProgressOnATerminal, OnePortsLineIsRedrawnInPlaceWithinTheWidthAndEnded) {
    Resize(80);
    ProgressBoard board(ProgressStyle::Terminal, out_, {"/dev/ttyUSB0"});
    board.Start(0, 1000);
    EXPECT_EQ(Drawn(), "\r  0%  0/1000 bytes");

    // Redrawing every frame would slow a fast line: the same percent is drawn once.
    board.Update(0, 500);
    board.Update(0, 501);
    const std::string half = Drawn();
    EXPECT_EQ(half.rfind('\r'), 0u) << half;
    EXPECT_EQ(half.rfind("\r 50%  500/1000 bytes  ", 0), 0u) << half;

    // A line as wide as the terminal would wrap there, so the last column stays free; what a
    // wider line left behind is blanked.
    Resize(31);
    board.Confirming(0);
    const std::string cut = "\r100%  confirming the last fram";
    EXPECT_EQ(Drawn(), cut + std::string(half.size() - cut.size(), ' '));
    Resize(12);
    board.Update(0, 1000);
    EXPECT_EQ(Drawn(), "\r100%  1000/" + std::string(cut.size() - 12, ' '));
    // A terminal that tells no width (a serial console's 0 columns) gets the whole line.
    Resize(0);
    board.Confirming(0);
    EXPECT_EQ(Drawn(), "\r100%  confirming the last frame");

    board.Finish();
    EXPECT_EQ(Drawn(), "\n") << "the cursor goes below the line";
}

TEST_F(ProgressOnATerminal, SeveralPortsGetARowEachRedrawnTogether) {
    Resize(40);
    ProgressBoard board(ProgressStyle::Terminal, out_, {"COM3", "COM4"});
    board.Start(0, 10);
    EXPECT_EQ(Drawn(), "\rCOM3    0%  0/10 bytes\x1b[K\n\rCOM4  \x1b[K\n");
    board.End(1, "no_echo");
    EXPECT_EQ(Drawn(), "\x1b[2A\rCOM3    0%  0/10 bytes\x1b[K\n\rCOM4  no_echo\x1b[K\n");

    // A row is cut before the last column, never inside a character of a port's name.
    Resize(2);
    ProgressBoard named(ProgressStyle::Terminal, out_, {"ю", "COM4"});
    named.Start(1, 10);
    EXPECT_EQ(Drawn(), "\r\x1b[K\n\rC\x1b[K\n");

    // A terminal that cannot move its cursor up gets a plain line per tenth instead.
    ::setenv("TERM", "dumb", 1);
    ProgressBoard plain(ProgressStyle::Terminal, out_, {"COM3", "COM4"});
    plain.Start(1, 10);
    EXPECT_EQ(Drawn(), "COM4:   0%  0/10 bytes\n");
}

TEST_F(ProgressOnATerminal, PlainLinesComeOncePerTenthOfThePackage) {
    ProgressBoard board(ProgressStyle::Lines, out_, {"/dev/ttyUSB0", "/dev/ttyUSB1"});
    board.Start(1, 1000);
    for (std::uint32_t sent = 50; sent <= 1000; sent += 50) {
        board.Update(1, sent);
    }
    const std::string lines = Drawn();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 11) << lines; // 0 %, 10 %, ... 100 %
    EXPECT_NE(lines.find("/dev/ttyUSB1:  90%  900/1000 bytes"), std::string::npos) << lines;
    EXPECT_EQ(lines.back(), '\n');
}

// 1 KiB a second so far and 240.6 s of bytes left: the nearest second, in minutes and seconds.
TEST(ProgressBoard, TellsTheRateAndTheTimeLeftToTheSecond) {
    EXPECT_EQ(ProgressBoard::Describe(2048, 2048 + 240 * 1024 + 600, 2.0),
              "  0%  2048/248408 bytes  1.0 KiB/s  4:01 left");
}

} // namespace
} // namespace tamsivo
