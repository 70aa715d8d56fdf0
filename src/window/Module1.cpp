#include "Module1.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cmath>

namespace Module1 {

bool waitUntil(const std::function<bool()>& until, const QDeadlineTimer& deadline,
               const std::function<bool()>& abandon)
{
    auto abandoned = [&] { return abandon && abandon(); };
    // Wakes the blocking call below when the time is up; every other wake-up is an event.
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    wake.setSingleShot(true);
    while (!abandoned() && !(until && until())) {
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            break;
        if (left > 0 && !wake.isActive())
            wake.start(int(qMin<qint64>(left, std::numeric_limits<int>::max())));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return !abandoned();
}

bool Delay_ms(double ms, const std::function<bool()>& abandon)
{
    QCoreApplication::processEvents();
    if (!(ms > 0)) // also NaN
        return !(abandon && abandon());
    const qint64 whole = std::isinf(ms) || ms > 9.0e15 ? -1 : qint64(std::ceil(ms));
    const QDeadlineTimer deadline = whole < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                              : QDeadlineTimer(whole, Qt::PreciseTimer);
    return waitUntil({}, deadline, abandon);
}

} // namespace Module1
