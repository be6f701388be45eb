#include "PeakMemory.h"

#include <sys/resource.h>

long long PeakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<long long>(usage.ru_maxrss) * 1024;  // Linux reports kilobytes
}
