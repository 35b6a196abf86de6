// A real-time thread that asks to wake every millisecond and prints each wake-up that came
// more than 3 ms late, with the monotonic time: what the machine itself does to threads that
// must keep time, whatever else runs. Stopped by a signal.
#include <sched.h>
#include <sys/mman.h>
#include <time.h>

#include <cstdio>

namespace {

constexpr long kPeriodNs = 1'000'000;
constexpr double kLateMs = 3;

double milliseconds(const timespec& from, const timespec& to) {
    return static_cast<double>(to.tv_sec - from.tv_sec) * 1e3 +
           static_cast<double>(to.tv_nsec - from.tv_nsec) / 1e6;
}

} // namespace

int main() {
    // Above a sound client's render thread, below the sound server's.
    const sched_param priority{50};
    if (sched_setscheduler(0, SCHED_FIFO, &priority) != 0) {
        std::perror("wake_canary: real time");
        return 1;
    }
    mlockall(MCL_CURRENT | MCL_FUTURE);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    timespec due{};
    clock_gettime(CLOCK_MONOTONIC, &due);
    for (;;) {
        due.tv_nsec += kPeriodNs;
        if (due.tv_nsec >= 1'000'000'000) {
            due.tv_nsec -= 1'000'000'000;
            ++due.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const double late = milliseconds(due, now);
        if (late > kLateMs) {
            std::printf("%ld.%09ld %.1f\n", static_cast<long>(now.tv_sec), now.tv_nsec, late);
            due = now;
        }
    }
}
