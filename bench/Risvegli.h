#pragma once
#include <sys/resource.h>

// Times this process went to sleep and was woken up again: on a busy machine
// each wake-up costs more than the little work done in it.
inline long Risvegli() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return r.ru_nvcsw;
}
