#pragma once
#include <ctime>

// How many times slower the sanitizers make the code: CPU is counted as an
// uninstrumented build would have used it, so the same limits hold there.
// A wait that spins still burns its whole duration and fails them.
#if defined(__SANITIZE_ADDRESS__)
constexpr double RallentamentoCpu = 4.0;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr double RallentamentoCpu = 4.0;
#else
constexpr double RallentamentoCpu = 1.0;
#endif
#else
constexpr double RallentamentoCpu = 1.0;
#endif

// CPU seconds this process has used: a wait that spins a core shows here.
inline double TempoCpu() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double(t.tv_sec) + double(t.tv_nsec) / 1e9) / RallentamentoCpu;
}
