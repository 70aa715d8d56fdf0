// The least a program on Qt can do: load QtCore, make its application object and exit. Beside
// the plain client it tells how much of corvane-cli's start-up is Qt's own.
#include <QCoreApplication>

int main(int argc, char* argv[])
{
    const QCoreApplication app(argc, argv);
    return 0;
}
