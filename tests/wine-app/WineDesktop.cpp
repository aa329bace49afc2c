#include "WineDesktop.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace tamsivo::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr const char* kWineLoader = "/usr/lib/wine/wine64";
// The server binary itself: Debian's wrapper script would add a persistence of 0 seconds.
constexpr const char* kWineServer = "/usr/lib/wine/wineserver64";
constexpr const char* kXvfb = "/usr/bin/Xvfb";
constexpr const char* kSetpriv = "/usr/bin/setpriv";
constexpr const char* kDriver = TAMSIVO_APP_DRIVER;
constexpr const char* kWineUser = "nobody";
constexpr const char* kPrefixReady = "tamsivo-prefix-ready";

// A first start of a fresh prefix takes many seconds; everything else well under one.
constexpr seconds kPrefixDeadline{300};
constexpr seconds kStepDeadline{60};
constexpr seconds kDisplayDeadline{30};
// After its last client the server lingers this long, so a crashed harness leaves nothing
// behind for good; the end of the run stops it at once.
constexpr const char* kServerPersistence = "-p60";

WineDesktop* current = nullptr;

// Whether every folder on the way to `path` lets other users pass.
bool OpenToOthers(const fs::path& path) {
    for (fs::path dir = fs::absolute(path); !dir.empty(); dir = dir.parent_path()) {
        struct stat info {};
        if (::stat(dir.c_str(), &info) == 0 && (info.st_mode & S_IXOTH) == 0) {
            return false;
        }
        if (dir == dir.root_path()) {
            break;
        }
    }
    return true;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Variables this harness sets itself, or that must not reach Wine from the caller: its own
// display, prefix, home and locale make the outcome independent of the desktop it runs on.
bool IsOurVariable(const std::string& entry) {
    for (const char* prefix :
         {"WINE", "DISPLAY=", "WAYLAND_DISPLAY=", "XAUTHORITY=", "XDG_RUNTIME_DIR=", "HOME=",
          "USER=", "LOGNAME=", "LANG=", "LC_", "TAMSIVO_"}) {
        if (entry.compare(0, std::strlen(prefix), prefix) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

WineDesktop::WineDesktop() : buildDir_(TAMSIVO_WINE_APP_DIR) {
    current = this;
}

void WineDesktop::ChoosePlaces() {
    // The Wine user must reach the prefix, the program and the driver. A build tree below a
    // folder closed to others (a home folder, say) cannot be used for them; a folder of the
    // system's temporary area, named after the build tree, takes its place.
    root_ = buildDir_;
    if (switchUser_ && !OpenToOthers(buildDir_)) {
        root_ = fs::temp_directory_path() /
                ("tamsivo-wine-app-" + std::to_string(std::hash<std::string>{}(buildDir_)));
    }
    prefix_ = root_ / "wineprefix";
    home_ = root_ / "home";
    screenshots_ = root_ / "screenshots";
    scenarios_ = root_ / "scenarios";
    unopenable_ = root_ / "unopenable-port";
    driver_ = root_ / "tamsivo_app_driver.exe";
    logs_ = buildDir_ / "logs";
}

WineDesktop& WineDesktop::Current() {
    return *current;
}

std::vector<std::string> WineDesktop::Environment() const {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!IsOurVariable(*entry)) {
            entries.emplace_back(*entry);
        }
    }
    entries.push_back("WINEPREFIX=" + prefix_.string());
    entries.push_back("WINEDEBUG=-all");
    // No Mono or Gecko installer dialogs while the prefix is made, no menu entries.
    entries.push_back("WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d");
    entries.push_back("HOME=" + home_.string());
    entries.push_back("USER=" + userName_);
    entries.push_back("LOGNAME=" + userName_);
    // Wine then names Unix files in UTF-8 (the scenarios use Cyrillic folder and file names).
    entries.push_back("LANG=C.UTF-8");
    entries.push_back("LC_ALL=C.UTF-8");
    if (!displayName_.empty()) {
        entries.push_back("DISPLAY=" + displayName_);
    }
    return entries;
}

ChildProcess::Options WineDesktop::WineProcess(std::vector<std::string> argv,
                                               const std::string& workingDir,
                                               const std::string& outputPath) const {
    ChildProcess::Options options;
    if (switchUser_) {
        // setpriv replaces itself with the program: the process id stays the program's.
        options.argv = {kSetpriv, "--reuid=" + std::to_string(uid_),
                        "--regid=" + std::to_string(gid_), "--clear-groups", "--"};
    }
    options.argv.insert(options.argv.end(), argv.begin(), argv.end());
    options.environment = Environment();
    options.workingDir = workingDir;
    options.outputPath = outputPath;
    return options;
}

void WineDesktop::GiveToWineUser(const fs::path& path) const {
    if (!switchUser_) {
        return;
    }
    std::error_code error;
    if (::lchown(path.c_str(), uid_, gid_) != 0) {
        ADD_FAILURE() << path << ": " << std::strerror(errno);
    }
    if (!fs::is_directory(path, error) || fs::is_symlink(path, error)) {
        return;
    }
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(path, error)) {
        if (::lchown(entry.path().c_str(), uid_, gid_) != 0) {
            ADD_FAILURE() << entry.path() << ": " << std::strerror(errno);
        }
    }
}

namespace {

// The COM numbers of the prefix's links ("com1" to "com256").
std::vector<int> ComLinks(const fs::path& dosdevices) {
    std::vector<int> numbers;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(dosdevices, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 3 && name.compare(0, 3, "com") == 0 && entry.is_symlink(error)) {
            const int number = std::atoi(name.c_str() + 3);
            if (number > 0) {
                numbers.push_back(number);
            }
        }
    }
    return numbers;
}

} // namespace

void WineDesktop::ResetComLinks() const {
    const fs::path dosdevices = prefix_ / "dosdevices";
    std::error_code error;
    for (const int number : ComLinks(dosdevices)) {
        fs::remove(dosdevices / ("com" + std::to_string(number)), error);
    }
    for (const int number : sessionPorts_) {
        fs::create_symlink(unopenable_, dosdevices / ("com" + std::to_string(number)), error);
        EXPECT_FALSE(error) << "masking COM" << number << ": " << error.message();
    }
}

bool WineDesktop::LinkCom(int number, const std::string& target, std::string* error) const {
    const fs::path link = prefix_ / "dosdevices" / ("com" + std::to_string(number));
    std::error_code code;
    fs::remove(link, code);
    fs::create_symlink(target, link, code);
    if (code) {
        *error = link.string() + ": " + code.message();
        return false;
    }
    return true;
}

std::string WineDesktop::WindowsPath(const fs::path& path) {
    std::string text = "Z:" + fs::absolute(path).lexically_normal().string();
    for (char& c : text) {
        if (c == '/') {
            c = '\\';
        }
    }
    return text;
}

bool WineDesktop::RunStep(const std::string& name, std::vector<std::string> argv,
                          std::chrono::milliseconds deadline, std::string* error) const {
    const fs::path log = logs_ / (name + ".log");
    const ChildProcess step = ChildProcess::Run(WineProcess(std::move(argv), "", log), deadline);
    if (step.Succeeded()) {
        return true;
    }
    *error = name + ": " + step.Describe() + "\n" + ReadText(log);
    return false;
}

bool WineDesktop::StartDisplay(std::string* error) {
    // Xvfb writes the number of the display it took to this pipe once it accepts clients.
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    ChildProcess::Options options;
    // Without access control (-ac): the Wine user connects without the harness's cookie.
    options.argv = {kXvfb, "-displayfd", "3", "-ac",        "-nolisten",
                    "tcp", "-screen",    "0", "1024x768x24"};
    options.environment = Environment();
    options.outputPath = (logs_ / "xvfb.log").string();
    options.passFd = pipeFds[1];
    const bool started = display_.Start(options, error);
    ::close(pipeFds[1]);
    std::string number;
    const auto until = std::chrono::steady_clock::now() + kDisplayDeadline;
    while (started) {
        const auto left =
            std::chrono::duration_cast<milliseconds>(until - std::chrono::steady_clock::now());
        pollfd entry{pipeFds[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        char buffer[16];
        const ssize_t got = ::read(pipeFds[0], buffer, sizeof(buffer));
        if (got <= 0) {
            break;
        }
        number.append(buffer, static_cast<std::size_t>(got));
        if (number.find('\n') != std::string::npos) {
            break;
        }
    }
    ::close(pipeFds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) {
        number.pop_back();
    }
    if (!started || number.empty()) {
        *error = std::string("Xvfb gave no display number: ") + display_.Describe() + "\n" +
                 ReadText(logs_ / "xvfb.log");
        display_.Kill();
        return false;
    }
    displayName_ = ":" + number;
    return true;
}

bool WineDesktop::MakePrefix(std::string* error) {
    if (fs::exists(prefix_ / kPrefixReady)) {
        return true;
    }
    // A prefix left half-made by an interrupted run is started over.
    std::error_code code;
    fs::remove_all(prefix_, code);
    fs::create_directories(prefix_, code);
    if (code) {
        *error = prefix_.string() + ": " + code.message();
        return false;
    }
    GiveToWineUser(prefix_);
    const auto start = std::chrono::steady_clock::now();
    if (!RunStep("wineboot", {kWineLoader, "wineboot", "-i"}, kPrefixDeadline, error) ||
        // Xvfb has no window manager, and Wine waits two seconds for one to withdraw each
        // managed window that is hidden or destroyed; unmanaged windows go at once.
        !RunStep("managed",
                 {kWineLoader, "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed",
                  "/d", "N", "/f"},
                 kStepDeadline, error) ||
        // The registry reaches the prefix's files when the server ends.
        !RunStep("wineserver-wait", {kWineServer, "-w"}, kStepDeadline, error)) {
        return false;
    }
    std::ofstream(prefix_ / kPrefixReady) << "complete\n";
    std::cout << "[   WINE   ] prefix made in "
              << std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start)
                     .count()
              << " ms\n";
    return true;
}

void WineDesktop::SetUp() {
    ASSERT_TRUE(fs::exists(TAMSIVO_APP_EXE))
        << TAMSIVO_APP_EXE << " is missing: build the windows preset first";
    ASSERT_TRUE(fs::exists(kDriver)) << kDriver << " is missing: build the windows preset first";
    ASSERT_TRUE(fs::exists(kWineLoader)) << kWineLoader << " is missing: install wine64";
    ASSERT_TRUE(fs::exists(kXvfb)) << kXvfb << " is missing: install xvfb";

    if (::geteuid() == 0) {
        const passwd* user = ::getpwnam(kWineUser);
        ASSERT_NE(user, nullptr) << "no user " << kWineUser << " to run Wine as";
        ASSERT_TRUE(fs::exists(kSetpriv)) << kSetpriv << " is missing: install util-linux";
        switchUser_ = true;
        uid_ = user->pw_uid;
        gid_ = user->pw_gid;
        userName_ = kWineUser;
    } else {
        const passwd* user = ::getpwuid(::geteuid());
        userName_ = user != nullptr ? user->pw_name : "tester";
    }
    ChoosePlaces();
    std::error_code code;
    for (const fs::path& dir : {buildDir_, root_, logs_, screenshots_, scenarios_, home_}) {
        fs::create_directories(dir, code);
        ASSERT_FALSE(code) << dir << ": " << code.message();
    }
    // Two harnesses of one build tree would share the prefix's COM links: the second waits.
    const std::string lockPath = (root_ / "wine-app.lock").string();
    lock_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(lock_, 0) << lockPath << ": " << std::strerror(errno);
    ASSERT_EQ(::flock(lock_, LOCK_EX), 0) << lockPath << ": " << std::strerror(errno);
    fs::copy_file(kDriver, driver_, fs::copy_options::overwrite_existing, code);
    ASSERT_FALSE(code) << "copying " << kDriver << ": " << code.message();
    fs::permissions(driver_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);

    // The Wine user writes screenshots and its home; the scenario folders are handed over as
    // they are made.
    GiveToWineUser(home_);
    GiveToWineUser(screenshots_);
    if (fs::exists(prefix_)) {
        GiveToWineUser(prefix_);
    }

    // Mode 0: no user but root may open it, and Wine never runs as root here.
    std::ofstream(unopenable_).close();
    ASSERT_EQ(::chmod(unopenable_.c_str(), 0), 0) << unopenable_ << ": " << std::strerror(errno);

    std::string error;
    ASSERT_TRUE(StartDisplay(&error)) << error;
    ASSERT_TRUE(MakePrefix(&error)) << error;

    // The server forks into the background and returns; 2 means one is running already.
    const ChildProcess server = ChildProcess::Run(
        WineProcess({kWineServer, kServerPersistence}, "", (logs_ / "wineserver.log").string()),
        kStepDeadline);
    ASSERT_TRUE(server.ExitCode() == 0 || server.ExitCode() == 2)
        << "wineserver " << kServerPersistence << ": " << server.Describe() << "\n"
        << ReadText(logs_ / "wineserver.log");
    serverStarted_ = true;

    // The first process of a session brings up Wine's services, which relink the serial
    // ports; once it has run, the links are the scenarios' to make.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunStep("session", {kWineLoader, driver_.string(), "windows", "session"},
                        kStepDeadline, &error))
        << error;
    std::cout << "[   WINE   ] session up on display " << displayName_ << " in "
              << std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start)
                     .count()
              << " ms" << (switchUser_ ? ", Wine runs as " + userName_ : std::string()) << "\n";
    sessionPorts_ = ComLinks(prefix_ / "dosdevices");
    ResetComLinks();
}

void WineDesktop::TearDown() {
    if (serverStarted_) {
        const ChildProcess kill = ChildProcess::Run(
            WineProcess({kWineServer, "-k"}, "", (logs_ / "wineserver-kill.log").string()),
            kStepDeadline);
        EXPECT_TRUE(kill.ExitCode() >= 0) << "wineserver -k: " << kill.Describe();
    }
    display_.Stop(std::chrono::seconds(10));
    if (root_ != buildDir_) {
        // The pictures are for people to look at in the build tree.
        std::error_code code;
        fs::create_directories(buildDir_ / "screenshots", code);
        fs::copy(screenshots_, buildDir_ / "screenshots",
                 fs::copy_options::overwrite_existing | fs::copy_options::recursive, code);
        EXPECT_FALSE(code) << "copying the screenshots: " << code.message();
    }
    if (lock_ >= 0) {
        ::close(lock_);
    }
}

} // namespace tamsivo::test
