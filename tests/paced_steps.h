#pragma once

#include "platform/event_loop.h"

#include <QTimer>

#include <functional>
#include <utility>

// Sweeps whose pauses take no time, their steps counted (from 1). An action given to atStep
// runs as a pending event that the sweep's step of that number handles.
class PacedSteps {
public:
    PacedSteps()
        : previous_(setSleeper([this](unsigned) {
              if (++count == actionStep_)
                  QTimer::singleShot(0, action_);
          })) {}
    ~PacedSteps() { setSleeper(previous_); }
    PacedSteps(const PacedSteps&) = delete;
    PacedSteps& operator=(const PacedSteps&) = delete;

    void atStep(int step, std::function<void()> action) {
        actionStep_ = step;
        action_ = std::move(action);
    }

    int count = 0;

private:
    int actionStep_ = -1;
    std::function<void()> action_;
    std::function<void(unsigned)> previous_;
};
