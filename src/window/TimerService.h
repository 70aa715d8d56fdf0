#pragma once

#include <QObject>
#include <QTimer>

// A timer with the two properties the link works with: it runs while it is enabled and has a
// non-zero interval, and raises its event after each interval until it is disabled.
class TimerService : public QObject {
    Q_OBJECT
public:
    explicit TimerService(QObject* parent = nullptr);

    int Interval() const { return m_interval; }
    void setInterval(int ms);
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);

signals:
    void timeout();

private:
    void apply();

    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = true;
};
