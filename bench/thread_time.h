// The calling thread's own time, for benchmarks that measure one thread's work.
#pragma once

#include <sys/resource.h>
#include <time.h>

namespace bench {

// The thread's CPU time so far, in microseconds (user and kernel).
inline double threadCpuUs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

// The thread's CPU time in the program itself (user), the rest being the kernel's on its behalf.
inline double threadUserUs() {
  rusage u{};
  getrusage(RUSAGE_THREAD, &u);
  return static_cast<double>(u.ru_utime.tv_sec) * 1e6 + static_cast<double>(u.ru_utime.tv_usec);
}

}  // namespace bench
