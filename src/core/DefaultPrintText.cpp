#include "DefaultPrintText.h"

#include <QStringList>

#include <cstdlib>

namespace {

QString line(int leading, const QString& chars = {}, int trailing = 0)
{
    return QString(leading, u' ') + chars + QString(trailing, u' ');
}

// Row 13 to 27 of the slash diamond, with a diamond of asterisks inside: a row of width w keeps
// at least two slashes at each end.
QString figureRow(int row)
{
    const int distance = std::abs(row - 20);
    const int width = 27 - 2 * distance;
    const int stars = 2 * (7 - distance) + 1;
    const int slashes = (width - stars) / 2;
    return line(6 + distance,
                QString(slashes, u'/') + QString(stars, u'*') + QString(slashes, u'/'));
}

QString slashRow(int leading)
{
    return line(leading, QString(2 * (19 - leading) + 1, u'/'));
}

} // namespace

QString defaultPrintText()
{
    QStringList lines;
    lines << line(0) << line(0, QStringLiteral("Printer Ethernet Interface Test:")) << line(4)
          << line(15, QStringLiteral("TEST  START"), 15) << line(0) << line(0);
    for (int leading = 19; leading >= 14; --leading)
        lines << slashRow(leading);
    for (int row = 13; row <= 27; ++row)
        lines << figureRow(row);
    for (int leading = 14; leading <= 19; ++leading)
        lines << slashRow(leading);
    lines << line(3) << line(0) << line(12, QStringLiteral("TEST  COMPLETED"), 10) << line(12)
          << line(0) << line(9) << line(0);
    return lines.join(QStringLiteral("\r\n"));
}
