#include "Signals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace Signals {

namespace {

constexpr int kWatched[] = {SIGINT, SIGTERM, SIGHUP};
int g_pipe[2] = {-1, -1};

void onSignal(int signal)
{
    const char number = char(signal);
    [[maybe_unused]] const auto written = ::write(g_pipe[1], &number, 1);
}

// Turns the watched signals into events for as long as it lives; the program's own handling
// of them comes back after.
class Watch {
public:
    explicit Watch(const std::function<void(int)>& came)
    {
        if (::pipe(g_pipe) != 0)
            return;
        for (int fd : g_pipe)
            ::fcntl(fd, F_SETFL, O_NONBLOCK);
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kWatched); ++i)
            ::sigaction(kWatched[i], &action, &m_previous[i]);
        m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [came] {
            char number = 0;
            if (::read(g_pipe[0], &number, 1) == 1)
                came(number);
        });
    }
    ~Watch()
    {
        for (std::size_t i = 0; i < std::size(kWatched); ++i)
            ::sigaction(kWatched[i], &m_previous[i], nullptr);
        m_notifier.reset();
        for (int& fd : g_pipe) {
            if (fd >= 0)
                ::close(std::exchange(fd, -1));
        }
    }

private:
    struct sigaction m_previous[std::size(kWatched)]{};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace

const char* name(int signal)
{
    return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
}

int runLoop(QEventLoop& loop, const std::function<void(int signal)>& stopped)
{
    int signal = 0;
    const Watch watch([&](int came) {
        if (signal != 0)
            return; // the first one ends the run; the rest change nothing
        signal = came;
        stopped(came);
        loop.quit();
    });
    loop.exec();
    return signal;
}

} // namespace Signals
