#include "WineAppFixture.h"

#include "text/Cp1251.h"

#include <fstream>
#include <iostream>
#include <iterator>

#include <sys/stat.h>

namespace tamsivo::test {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Readable(const std::string& cp1251) {
    return "\"" + tamsivo::Cp1251ToUtf8(cp1251) + "\"";
}

void ExpectText(const DriverReport& report, const std::string& label, const std::string& expected) {
    const std::string actual = report.Text(label);
    EXPECT_EQ(ToHex(actual), ToHex(expected))
        << label << " shows " << Readable(actual) << ", expected " << Readable(expected);
}

void ExpectValue(const DriverReport& report, const std::string& label,
                 const std::string& expected) {
    EXPECT_EQ(report.Value(label), expected) << label;
}

std::vector<std::string> Script(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> tokens;
    for (const std::vector<std::string>& part : parts) {
        tokens.insert(tokens.end(), part.begin(), part.end());
    }
    return tokens;
}

std::vector<std::string> ExitAndReadPort(const std::string& how) {
    std::vector<std::string> tokens;
    if (how == "escape") {
        tokens = {"key", "main", "escape"};
    } else {
        tokens = {"click", "main", kExitButton};
    }
    tokens.insert(tokens.end(), {"wait-exit", kExitMs, "exit", "read-port", "stored"});
    return tokens;
}

void WineApp::TearDown() {
    WineDesktop::Current().ResetComLinks();
    held_.clear();
    terminals_.clear();
    if (simulator_) {
        simulator_->Stop();
        EXPECT_EQ(simulator_->ServeError(), "");
    }
}

std::string WineApp::TestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

fs::path WineApp::Folder(const std::string& name, const std::vector<std::string>& packages) {
    const fs::path folder =
        WineDesktop::Current().Scenarios() / TestName() / tamsivo::Cp1251ToUtf8(name);
    std::error_code code;
    fs::remove_all(folder, code);
    fs::create_directories(folder / "updates", code);
    EXPECT_FALSE(code) << folder << ": " << code.message();
    fs::copy_file(kProgram, folder / "Tamsivo.exe", fs::copy_options::overwrite_existing, code);
    EXPECT_FALSE(code) << "copying " << kProgram << ": " << code.message();
    for (const std::string& package : packages) {
        std::ofstream(folder / "updates" / tamsivo::Cp1251ToUtf8(package)) << kPackageText;
    }
    WineDesktop::Current().GiveToWineUser(WineDesktop::Current().Scenarios());
    return folder;
}

void WineApp::WritePackage(const fs::path& folder, const std::string& name,
                           const std::string& text) {
    const fs::path path = folder / "updates" / tamsivo::Cp1251ToUtf8(name);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        EXPECT_TRUE(out.good()) << "writing " << path;
    }
    WineDesktop::Current().GiveToWineUser(path);
}

std::string WineApp::ExeDir(const fs::path& folder) {
    return tamsivo::Utf8ToCp1251(WineDesktop::WindowsPath(folder)) + "\\";
}

void WineApp::FreePort(int number) {
    auto terminal = std::make_unique<PseudoTerminal>();
    std::string error;
    ASSERT_TRUE(terminal->Open(&error)) << error;
    ASSERT_TRUE(WineDesktop::Current().LinkCom(number, terminal->SlavePath(), &error)) << error;
    terminals_.push_back(std::move(terminal));
}

void WineApp::HeldPort(int number) {
    ASSERT_NO_FATAL_FAILURE(FreePort(number));
    ASSERT_NO_FATAL_FAILURE(Hold(terminals_.back()->SlavePath()));
}

void WineApp::Hold(const std::string& slavePath) {
    auto line = std::make_unique<tamsivo::SerialLine>();
    ASSERT_TRUE(line->Open(slavePath.c_str(), 115200, 500)) << "holding " << slavePath;
    held_.push_back(std::move(line));
}

void WineApp::SimulatedPort(int number, const tamsivo::sim::BkSimConfig& config) {
    simulator_ = std::make_unique<tamsivo::sim::BkSimulator>(config);
    std::string error;
    ASSERT_TRUE(simulator_->Start(&error)) << error;
    ASSERT_EQ(::chmod(simulator_->SlavePath().c_str(), 0666), 0) << simulator_->SlavePath();
    ASSERT_TRUE(WineDesktop::Current().LinkCom(number, simulator_->SlavePath(), &error)) << error;
}

DriverReport WineApp::Drive(const std::string& step, const std::vector<std::string>& tokens) {
    WineDesktop& desk = WineDesktop::Current();
    const fs::path log = desk.Logs() / (TestName() + "-" + step + ".log");
    std::vector<std::string> argv = {kWineLoader, desk.Driver().string(), "--out",
                                     WineDesktop::WindowsPath(desk.Screenshots())};
    argv.insert(argv.end(), tokens.begin(), tokens.end());
    const ChildProcess driver =
        ChildProcess::Run(desk.WineProcess(argv, "", log.string()), kDriverDeadline);
    const std::string output = ReadText(log);
    std::cout << "[   WINE   ] " << step << ": driver " << driver.Describe() << "\n";
    EXPECT_TRUE(driver.Succeeded()) << step << ": driver " << driver.Describe() << "\n" << output;
    return DriverReport(output);
}

std::unique_ptr<ChildProcess> WineApp::StartProgram(const std::string& step, const fs::path& folder,
                                                    const std::vector<std::string>& setup) {
    Drive(step + "-setup", setup);
    WineDesktop& desk = WineDesktop::Current();
    const fs::path log = desk.Logs() / (TestName() + "-" + step + "-program.log");
    auto program = std::make_unique<ChildProcess>();
    std::string error;
    EXPECT_TRUE(program->Start(desk.WineProcess({kWineLoader, (folder / "Tamsivo.exe").string()},
                                                folder.string(), log.string()),
                               &error))
        << error;
    return program;
}

void WineApp::EndProgram(const std::string& step, ChildProcess& program,
                         const DriverReport& report) {
    // A script that failed half-way may have left the program waiting for a user.
    if (!program.Wait(report.Error().empty() ? kProgramEndDeadline : kFailedEndDeadline)) {
        program.Kill();
    }
    std::cout << "[   WINE   ] " << step << ": program " << program.Describe() << "\n";
    const fs::path log = WineDesktop::Current().Logs() / (TestName() + "-" + step + "-program.log");
    EXPECT_TRUE(program.Succeeded()) << "Tamsivo.exe: " << program.Describe() << "\n"
                                     << ReadText(log);
}

DriverReport WineApp::Run(const std::string& step, const fs::path& folder,
                          const std::vector<std::string>& setup,
                          const std::vector<std::string>& script) {
    const std::unique_ptr<ChildProcess> program = StartProgram(step, folder, setup);
    DriverReport report = Drive(step, script);
    EndProgram(step, *program, report);
    return report;
}

namespace {

::testing::Environment* const kDesktop = ::testing::AddGlobalTestEnvironment(new WineDesktop);

} // namespace

} // namespace tamsivo::test
