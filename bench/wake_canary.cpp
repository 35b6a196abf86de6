// Real-time threads, one kept on each processor, that ask to wake every millisecond and print
// each wake-up that came more than 3 ms late: "CPU SECONDS LATE_MS", SECONDS being the
// monotonic time of the late wake-up. What the machine itself does to threads that must keep
// time, whatever else runs: a processor taken away from this virtual machine, or held by
// something no priority can preempt, shows here. Stopped by a signal.
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr long kPeriodNs = 1'000'000;
constexpr double kLateMs = 3;
// Above a sound client's render thread, below the sound server's.
constexpr int kPriority = 50;

double milliseconds(const timespec& from, const timespec& to) {
    return static_cast<double>(to.tv_sec - from.tv_sec) * 1e3 +
           static_cast<double>(to.tv_nsec - from.tv_nsec) / 1e6;
}

void watch(int cpu) {
    cpu_set_t only;
    CPU_ZERO(&only);
    CPU_SET(cpu, &only);
    pthread_setaffinity_np(pthread_self(), sizeof only, &only);
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
            std::printf("%d %ld.%09ld %.2f\n", cpu, static_cast<long>(now.tv_sec), now.tv_nsec,
                        late);
            due = now;
        }
    }
}

} // namespace

int main() {
    const sched_param priority{kPriority};
    if (sched_setscheduler(0, SCHED_FIFO, &priority) != 0) { // inherited by the threads
        std::perror("wake_canary: real time");
        return 1;
    }
    mlockall(MCL_CURRENT | MCL_FUTURE);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<std::thread> watchers;
    const long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    for (int cpu = 0; cpu < cpus; ++cpu)
        watchers.emplace_back(watch, cpu);
    std::puts("watching");
    for (std::thread& watcher : watchers)
        watcher.join();
}
