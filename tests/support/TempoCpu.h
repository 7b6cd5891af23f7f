#pragma once
#include <ctime>

// CPU seconds this process has used: a wait that spins a core shows here.
inline double TempoCpu() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}
