#pragma once

#include "sweep/sweep_step.h"

#include <QString>

// What a screen reader says of a step, briefly and always in the same order: the step, x, y and
// the note, the numbers rounded as a listener needs them (x to a tenth, as the steps lie 5
// apart; y to a hundredth, so that its top, just below 500, is not heard as 500), whatever the
// read-outs show. `index` counts from 0: "step 64 of 126, x 322.1, y 499.99, note 81".
QString spokenStep(int index, const SweepStep& step);

// What a screen reader says of a move past either end, which takes no step.
inline const QString kPastFirstSpoken = QStringLiteral("first step");
inline const QString kPastLastSpoken = QStringLiteral("last step");
