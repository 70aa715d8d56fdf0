#include "Form1.h"

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
        // Bytes handed to a connection just before the end still reach the printer.
        window.flushPendingSends(1000);
    }
    return status;
}
