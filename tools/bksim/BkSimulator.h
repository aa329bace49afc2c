#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tamsivo::sim {

// A fault injected on one frame (counted from 1 over every frame received, resends included).
enum class Fault {
    None,
    NoEcho,    // the frame is swallowed: no echo, no answer
    ShortEcho, // the echo lacks its last byte, no answer
    NoAnswer,  // full echo, then silence
    Answer,    // full echo, then `faultAnswer` instead of the scripted answer
    DropLine,  // the adapter vanishes: the master side is closed mid-frame
    // Faults that put the stream out of step; the answer itself follows the script.
    EarlyAnswer, // the answer comes before the echo's last byte
    ExtraEcho,   // one byte `faultAnswer` too many after the echo, then the answer
    Noise,       // a stray byte `faultAnswer` kNoiseDelay after the answer
    // The adapter vanishes: full echo, then the byte `faultAnswer` (a stray verdict), then the
    // master side is closed `faultDelayMs` later.
    HangUp,
};

// A fault's name on the command line, and whether it carries a byte (`faultAnswer`).
struct FaultName {
    const char* name;
    Fault fault;
    bool takesByte;
};

// An adapter chip and its driver buffer a few KiB of what goes back to the host.
inline constexpr std::uint32_t kDefaultEchoBuffer = 4096;
// A USB adapter's chip sends what it received from the line in packets of 64 bytes, two of
// which are its own status: a full packet carries 62 of the line's bytes.
inline constexpr std::size_t kUsbPacketData = 62;

struct BkSimConfig {
    // Answers per frame, comma separated: hexadecimal bytes or "ok"; a trailing '*' repeats
    // an item for ever ("22,22,11,ok*"). After the script: ok. An 88 (wait) is followed at
    // once by the next answer of the script for the same frame.
    std::string answers;
    std::uint32_t baud = 0;              // 0: instant line; else each byte takes 10 bit times
    std::uint32_t processingDelayMs = 0; // after a frame's echo, before its answer
    // At most this many bytes wait to go back to the host; while they do, the adapter takes no
    // more of the host's, as a real adapter whose buffers are full and a pseudo-terminal do.
    // 0: it takes everything at once (a kinder peer than the field).
    std::uint32_t echoBuffer = kDefaultEchoBuffer;
    // A USB adapter's latency timer: what the line brings goes on to the host when
    // kUsbPacketData bytes wait or this long after the first of them arrived, whichever comes
    // first. 0: each byte as soon as it has arrived.
    std::uint32_t latencyMs = 0;
    Fault fault = Fault::None;
    std::uint32_t faultFrame = 0;
    std::uint8_t faultAnswer = 0;
    // ExtraEcho: the scripted answer comes this long after the stray byte at the earliest;
    // HangUp: the master side closes this long after the stray byte.
    std::uint32_t faultDelayMs = 0;
    std::string recordPath; // accepted frames are appended here, length bytes included
    std::string linkPath;   // a symbolic link to the slave, e.g. a Wine prefix's com5
};

// Plays the serial adapter and the on-board computer on the master side of a
// pseudo-terminal: echoes every byte, cuts the stream into frames and answers each from the
// script. Serves one host open after another until stopped.
class BkSimulator {
public:
    // How long after its frame's answer has reached the host a Noise byte comes: long enough
    // for the host to have purged and started the next frame.
    static constexpr std::chrono::milliseconds kNoiseDelay{30};

    explicit BkSimulator(BkSimConfig config);
    ~BkSimulator();
    BkSimulator(const BkSimulator&) = delete;
    BkSimulator& operator=(const BkSimulator&) = delete;

    // Creates the pseudo-terminal (slave in raw mode) and starts serving on a thread.
    // Returns false with a reason in `error`.
    bool Start(std::string* error);
    void Stop();

    const std::string& SlavePath() const { return slavePath_; }

    // Every accepted frame's bytes, in order, once per acceptance.
    std::vector<std::uint8_t> Accepted() const;
    std::uint32_t FramesReceived() const { return framesReceived_.load(); }
    std::uint32_t FramesAccepted() const { return framesAccepted_.load(); }
    // The first failure met while serving (record file, pseudo-terminal); empty when none.
    std::string ServeError() const;
    // From the first byte received since Start() to the latest frame accepted: how long the
    // hosts' frames took on the simulated line; zero before a frame has been accepted.
    std::chrono::steady_clock::duration BusyTime() const;

    // Every fault by its command-line name.
    static const std::vector<FaultName>& FaultNames();
    static std::optional<FaultName> FindFault(std::string_view name);

    // Parses the answer script; false when it is not of the form above.
    static bool ParseAnswers(const std::string& script, std::vector<std::uint8_t>* answers,
                             bool* repeatLast);

private:
    using Clock = std::chrono::steady_clock;

    // One byte on its way to the host; `due` is when its last bit has come in from the line.
    // Answer bytes carry the frame they answer: an OK records it, a scripted wait pulls the next
    // scripted answer for it.
    struct OutByte {
        Clock::time_point due;
        std::uint8_t byte = 0;
        std::shared_ptr<const std::vector<std::uint8_t>> frame;
        bool hangUp = false; // no byte: the adapter vanishes when this is due
    };

    enum class HostState { Present, Gone, Stopping };

    void Serve();
    bool WaitForHost();
    HostState ServeHost();
    bool DrainHostEvents();
    HostState ReadFromHost();
    // How many more of the host's bytes the adapter takes now (see echoBuffer).
    std::size_t Room() const;
    // Hands the host what the adapter passes on by now; otherwise `wake` is when it next will.
    HostState WriteDue(bool* blocked, Clock::time_point* wake);
    // The bytes at the front of out_ that reach the host together, and when they do.
    std::size_t NextBurst(Clock::time_point now, Clock::time_point* release);
    bool TakeByte(std::uint8_t byte, Clock::time_point arrival);
    void FrameComplete();
    void ScheduleAnswer(std::uint8_t answer, bool scripted, Clock::time_point earliest,
                        std::shared_ptr<const std::vector<std::uint8_t>> frame);
    std::uint8_t NextScriptAnswer();
    Clock::time_point Depart(Clock::time_point earliest);
    Clock::time_point LineFree() const;
    std::chrono::milliseconds Latency() const {
        return std::chrono::milliseconds(config_.latencyMs);
    }
    void ResetSession();
    void Record(const std::vector<std::uint8_t>& frame);
    void DropLine();
    void NoteError(const std::string& what);
    void RemoveLink();
    void CloseAll();

    BkSimConfig config_;
    std::string slavePath_;
    int master_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    // Opens and closes of the slave. A host that closes and reopens at once leaves no
    // hang-up to see on the master, but its close event stays queued here.
    int inotify_ = -1;
    bool linkCreated_ = false;
    std::FILE* record_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint32_t> framesReceived_{0};
    std::atomic<std::uint32_t> framesAccepted_{0};
    mutable std::mutex acceptedMutex_;
    std::vector<std::uint8_t> accepted_;
    std::string serveError_; // guarded by acceptedMutex_
    // Guarded by acceptedMutex_; the first is set once, by the serving thread.
    std::chrono::steady_clock::time_point firstByte_;
    std::chrono::steady_clock::time_point lastAccepted_;

    // Owned by the serving thread.
    bool byteSeen_ = false;
    std::vector<std::uint8_t> script_;
    bool repeatLast_ = false;
    std::size_t scriptPos_ = 0;
    std::vector<std::uint8_t> frame_; // the frame being received, length bytes included
    Fault frameFault_ = Fault::None;
    std::deque<OutByte> out_;
    std::size_t released_ = 0;     // front bytes of out_ passed on, not yet taken by the host
    Clock::time_point lineAnchor_; // the line is busy until lineAnchor_ + lineBytes_ bytes
    std::uint64_t lineBytes_ = 0;
};

} // namespace tamsivo::sim
