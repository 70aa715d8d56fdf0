#include "Form1.h"
#include "link/Connection.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    int status = 0;
    {
        Form1 window;
        window.show();
        status = QApplication::exec();
    }
    // The window is gone; the process stays until what was handed to the printers has reached
    // them, each connection bounded by its own no-progress limit.
    Connection::awaitRetired();
    return status;
}
