#include "TimerService.h"

TimerService::TimerService(QObject* parent)
    : QObject(parent)
{
    // A coarse timer may fire up to 5 % late; the connect timeout is meant to be 3000 ms.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TimerService::timeout);
}

void TimerService::setInterval(int ms)
{
    m_interval = ms;
    apply();
}

void TimerService::setEnabled(bool enabled)
{
    m_enabled = enabled;
    apply();
}

void TimerService::apply()
{
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval); // restarts the count, as setting the interval does
    else
        m_timer.stop();
}
