// bench_timing.h - what the benchmark programs share: the sizes asked for and the best of several timed runs.
#ifndef QELBOOT_TESTS_BENCH_BENCH_TIMING_H
#define QELBOOT_TESTS_BENCH_BENCH_TIMING_H

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

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

template <typename F> double BestSeconds(int rounds, F&& run) {
    double best = 1e9;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        run();
        best =
            std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

#endif // QELBOOT_TESTS_BENCH_BENCH_TIMING_H
