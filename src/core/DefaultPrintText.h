#pragma once

#include <QString>

// The test page that the print box holds at start: 40 lines joined by CR LF.
QString defaultPrintText();
