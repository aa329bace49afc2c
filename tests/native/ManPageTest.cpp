// The manual page of tamsivo-flash keeps up with the program, which gains options and exit
// codes over time: read against the built program's own --help, never against a copy.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string HelpText() {
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(TAMSIVO_FLASH_EXE " --help", "r"),
                                                     ::pclose);
    std::string text;
    char buffer[4096];
    for (std::size_t got; pipe && (got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) {
        text.append(buffer, got);
    }
    return text;
}

// The page's source with troff's escaped hyphens ("\-") as plain ones.
std::string PageText() {
    std::ifstream file(TAMSIVO_SOURCE_DIR "/packaging/man/tamsivo-flash.1.in");
    std::stringstream read;
    read << file.rdbuf();
    return std::regex_replace(read.str(), std::regex(R"(\\-)"), "-");
}

TEST(ManPage, DescribesEveryOptionAndExitCodeThatHelpLists) {
    const std::string help = HelpText();
    const std::string page = PageText();
    const std::size_t exitCodes = help.find("Exit codes:");
    ASSERT_NE(exitCodes, std::string::npos) << help;
    ASSERT_NE(page.find(".SH EXIT STATUS"), std::string::npos);

    std::istringstream options(help.substr(0, exitCodes));
    const std::regex optionLine(R"(^ +(-\w,)?(--[\w-]+))");
    std::smatch match;
    for (std::string line; std::getline(options, line);) {
        if (std::regex_search(line, match, optionLine)) {
            // Followed by no name character: --json must not be found in --json-progress.
            EXPECT_TRUE(std::regex_search(page, std::regex(match.str(2) + R"((?![\w-]))")))
                << match.str(2);
        }
    }

    // --help: "  9  checksum error (...)"; the page: ".B 9", then the same words.
    std::map<int, std::string> helpTable;
    std::set<long> columns; // of the meanings, after codes of one digit or two alike
    std::istringstream helpRows(help.substr(exitCodes));
    const std::regex helpRow(R"(^ +(\d+)  (.+)$)");
    for (std::string line; std::getline(helpRows, line);) {
        if (std::regex_match(line, match, helpRow)) {
            helpTable[std::stoi(match.str(1))] = match.str(2);
            columns.insert(match.position(2));
        }
    }
    EXPECT_EQ(columns.size(), 1u) << help;
    std::map<int, std::string> pageTable;
    const std::size_t section = page.find(".SH EXIT STATUS");
    std::istringstream pageRows(page.substr(section, page.find("\n.SH ", section + 1) - section));
    const std::regex pageRow(R"(^\.B (\d+)$)");
    for (std::string line; std::getline(pageRows, line);) {
        if (std::regex_match(line, match, pageRow)) {
            std::getline(pageRows, pageTable[std::stoi(match.str(1))]);
        }
    }
    EXPECT_FALSE(helpTable.empty());
    EXPECT_EQ(pageTable, helpTable);
}

} // namespace
