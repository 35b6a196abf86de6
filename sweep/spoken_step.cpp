#include "sweep/spoken_step.h"

namespace {

// `value` with at most `decimals` decimals, without trailing zeros, always with a point: the
// words around it are English.
QString rounded(double value, int decimals) {
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

} // namespace

QString spokenStep(int index, const SweepStep& step) {
    return QStringLiteral("step %1 of %2, x %3, y %4, note %5")
        .arg(index + 1)
        .arg(kSweepSteps)
        .arg(rounded(step.x, 1), rounded(step.userY, 2))
        .arg(step.note);
}
