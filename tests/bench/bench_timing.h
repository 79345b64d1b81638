// bench_timing.h - what the benchmarks share: their machine, the sizes asked for, the best of timed runs.
#ifndef QELBOOT_TESTS_BENCH_BENCH_TIMING_H
#define QELBOOT_TESTS_BENCH_BENCH_TIMING_H

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

// Set up by the platform file linked in: a fresh machine, and the folder to generate in, created empty.
std::wstring PrepareBenchMachine();
void CreateBenchFolder(const std::wstring& path);
void CreateBenchFile(const std::wstring& path);

// "--smoke": one small size, checked and not timed (how ctest runs a benchmark).
inline bool SmokeRun(int argc, char** argv) { return argc > 1 && std::strcmp(argv[1], "--smoke") == 0; }

// The sizes given as arguments, `defaults` without any.
inline std::vector<int> BenchSizes(int argc, char** argv, std::vector<int> defaults, int smokeSize) {
    if (SmokeRun(argc, argv))
        return {smokeSize};
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    return sizes.empty() ? defaults : sizes;
}

// Seconds on the clock a benchmark reads. Natively, the processor time of the whole process, which other
// programs on the machine barely move; under Wine, whose process and thread times move in 10 ms steps, the
// wall clock.
inline double BenchClockSeconds() {
#ifdef _WIN32
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
#else
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
#endif
}

// The best time of each of two runs over `rounds` rounds, the two alternating so that a busy machine slows
// both alike.
template <typename A, typename B> std::pair<double, double> BestSecondsOfEach(int rounds, A&& a, B&& b) {
    const auto seconds = [](auto&& run) {
        const double start = BenchClockSeconds();
        run();
        return BenchClockSeconds() - start;
    };
    std::pair<double, double> best{1e9, 1e9};
    for (int round = 0; round < rounds; ++round) {
        best.first = std::min(best.first, seconds(a));
        best.second = std::min(best.second, seconds(b));
    }
    return best;
}

#endif // QELBOOT_TESTS_BENCH_BENCH_TIMING_H
