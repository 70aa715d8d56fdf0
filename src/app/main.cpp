#include "Form1.h"
#include "link/Connection.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    // The installed icon theme's icon, else the copy built in (a run from the build folder);
    // without either the window simply has none. The desktop file name lets a Wayland desktop
    // find the same icon through the menu entry.
    QIcon builtIn;
    const QDir icons(QStringLiteral(":/icon"));
    for (const QString& name : icons.entryList(QDir::Files))
        builtIn.addFile(icons.filePath(name));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("io.github.corvane.Corvane"), builtIn));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.corvane.Corvane"));
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
