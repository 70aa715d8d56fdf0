// Start-up to the window shown and idle, as the real program does it or, for the baseline, a
// bare window of the same size with a label, a line edit and a button. Prints the monotonic
// clock at that moment and the peak resident set size, then quits.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <ctime>

#ifdef CORVANE_STARTUP_REAL
#include "app/Form1.h"
#endif

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
#ifdef CORVANE_STARTUP_REAL
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    Form1 window;
#else
    QWidget window;
    window.setFixedSize(519, 324);
    auto* label = new QLabel(QStringLiteral("Printer current  IP address:"), &window);
    label->setGeometry(16, 16, 153, 41);
    auto* edit = new QLineEdit(QStringLiteral("192.168.123.100"), &window);
    edit->setGeometry(168, 24, 177, 33);
    auto* button = new QPushButton(QStringLiteral("Connect Test"), &window);
    button->setGeometry(360, 24, 145, 33);
#endif
    window.show();
    // Runs once everything the show queued has been handled: the window is up and idle.
    QTimer::singleShot(0, &window, [] {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%lld %ld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec,
                    usage.ru_maxrss);
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return QApplication::exec();
}
