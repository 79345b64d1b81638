// guard_bench - what the guard around each call into a plug-in costs: nanoseconds per os::CallGuarded of a
// call that returns, against the same call made directly through a function pointer.
#include <chrono>
#include <cstdio>

#include "platform/os.h"

namespace {

volatile unsigned calls = 0;
void Count(void*) { calls = calls + 1; }

template <typename Call> double NanosecondsPerCall(Call call, unsigned rounds) {
    const auto start = std::chrono::steady_clock::now();
    for (unsigned i = 0; i < rounds; ++i)
        call();
    const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
    return took.count() / rounds;
}

} // namespace

int main() {
    constexpr unsigned kRounds = 10'000'000;
    void (*volatile direct)(void*) = &Count;
    const double plain = NanosecondsPerCall([&] { direct(nullptr); }, kRounds);
    const double guarded = NanosecondsPerCall([&] { qel::os::CallGuarded(direct, nullptr); }, kRounds);
    std::printf("guarded call: %.1f ns, direct call: %.1f ns, the guard: %.1f ns a call (%u calls)\n",
                guarded, plain, guarded - plain, calls);
    return calls == 2 * kRounds ? 0 : 1;
}
