#pragma once

#include <QString>
#include <QStringView>

// What must hold for any text read as a code page number. Returns an empty string when all
// holds, or what broke. Shared by the fuzz target and by the suite, which runs the seeds.
QString checkCodePageProperties(QStringView text);
