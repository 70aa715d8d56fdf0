#pragma once

#include "app/Form1.h"
#include "support/RecordingBoxes.h"

#include <QPushButton>

// The real window, shown and active, with its boxes answered by the test.
struct ShownWindow {
    RecordingBoxes boxes;
    Form1 form;

    ShownWindow()
    {
        form.setMessageBoxes(&boxes);
        form.show();
        form.activateWindow();
    }
    template <typename W = QWidget> W* get(const QString& name) { return form.findChild<W*>(name); }
    QPushButton* button(const char* name) { return get<QPushButton>(QLatin1String(name)); }
};
