#include "platform/event_loop.h"

#include <QCoreApplication>

#include <chrono>
#include <thread>
#include <utility>

namespace {

void sleepThread(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::function<void(unsigned)>& currentSleeper() {
    static std::function<void(unsigned)> sleeper = sleepThread;
    return sleeper;
}

} // namespace

void Sleep(unsigned milliseconds) {
    currentSleeper()(milliseconds);
}

std::function<void(unsigned)> setSleeper(std::function<void(unsigned)> sleeper) {
    return std::exchange(currentSleeper(), std::move(sleeper));
}

void ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
