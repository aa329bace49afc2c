// Reading a full 2 MiB package: the reader against the classic per-byte fscanf("%2X") loop.
// Prints the ratio of the two, both measured in this run.
#include "flash/FirmwarePackage.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

std::filesystem::path PackagePath() {
    static const std::filesystem::path path = [] {
        auto p = std::filesystem::temp_directory_path() / "tamsivo-bench-2mib.enc";
        std::ofstream out(p, std::ios::binary);
        // 32 frames of 65534 payload bytes: 2,097,152 bytes, 32 pairs and a line end a row.
        unsigned seed = 12345;
        for (int frame = 0; frame < 32; ++frame) {
            out << "FFFE\r\n";
            for (int i = 0; i < 65534; ++i) {
                seed = seed * 1103515245u + 12345u;
                char pair[3];
                std::snprintf(pair, sizeof pair, "%02X", (seed >> 16) & 0xFF);
                out << pair << ((i % 32 == 31) ? "\r\n" : "");
            }
            out << "\r\n";
        }
        return p;
    }();
    return path;
}

void ReaderInOnePass(benchmark::State& state) {
    tamsivo::FirmwarePackage package;
    for (auto _ : state) {
        std::FILE* file = std::fopen(PackagePath().c_str(), "rb");
        if (package.ReadFrom(file) != tamsivo::PackageError::None) {
            state.SkipWithError("package refused");
        }
        std::fclose(file);
        benchmark::DoNotOptimize(package.ByteCount());
    }
}

void FscanfPerByte(benchmark::State& state) {
    std::vector<unsigned char> image(tamsivo::FirmwarePackage::kCapacity);
    for (auto _ : state) {
        std::FILE* file = std::fopen(PackagePath().c_str(), "rb");
        std::size_t count = 0;
        while (!std::feof(file)) {
            unsigned value = 0;
            ++count;
            if (std::fscanf(file, "%2X", &value) == 1 && count - 1 < image.size()) {
                image[count - 1] = static_cast<unsigned char>(value);
            }
        }
        std::fclose(file);
        benchmark::DoNotOptimize(count);
    }
}

BENCHMARK(ReaderInOnePass)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(FscanfPerByte)->Unit(benchmark::kMillisecond)->MinTime(1.0);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            perIteration[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
    }
    double Time(const std::string& name) const {
        for (const auto& [runName, time] : perIteration) {
            if (runName.rfind(name, 0) == 0) {
                return time;
            }
        }
        return 0;
    }
    std::map<std::string, double> perIteration;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double reader = reporter.Time("ReaderInOnePass");
    const double baseline = reporter.Time("FscanfPerByte");
    if (reader > 0 && baseline > 0) {
        std::printf("package read, 2 MiB: reader %.2f ms, fscanf(\"%%2X\") baseline %.2f ms, "
                    "speed-up %.1fx (goal >= 10x)\n",
                    reader, baseline, baseline / reader);
    }
    std::filesystem::remove(PackagePath());
    return 0;
}
