#include "platform/sound/realtime.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace {

// Below the sound server's own threads, which run at 5 (PulseAudio) and 20 and above.
constexpr int kPriority = 4;

bool schedule(int threadId) {
    sched_param parameter{};
    parameter.sched_priority = kPriority;
    return sched_setscheduler(threadId, SCHED_FIFO | SCHED_RESET_ON_FORK, &parameter) == 0;
}

// rtkit grants real time only to a process that limits its real-time CPU time, so that a
// runaway thread cannot lock up the machine.
bool viaRtkit(int threadId) {
    if (!QCoreApplication::instance())
        return false;
    QDBusInterface rtkit("org.freedesktop.RealtimeKit1", "/org/freedesktop/RealtimeKit1",
                         "org.freedesktop.RealtimeKit1", QDBusConnection::systemBus());
    if (!rtkit.isValid())
        return false;
    rtkit.setTimeout(2000);
    const int highest = rtkit.property("MaxRealtimePriority").toInt();
    const qlonglong limit = rtkit.property("RTTimeUSecMax").toLongLong();
    if (highest <= 0 || limit <= 0)
        return false;
    const rlimit rtTime{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
    if (setrlimit(RLIMIT_RTTIME, &rtTime) != 0)
        return false;
    const QDBusReply<void> reply =
        rtkit.call("MakeThreadRealtime", static_cast<qulonglong>(threadId),
                   static_cast<uint>(std::min(kPriority, highest)));
    return reply.isValid();
}

} // namespace

bool makeThreadRealtime(int threadId) {
    return schedule(threadId) || viaRtkit(threadId);
}

int currentThreadId() {
    return static_cast<int>(gettid());
}
