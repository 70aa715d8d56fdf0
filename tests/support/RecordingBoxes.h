#pragma once

#include "app/MessageBoxes.h"
#include "support/Answers.h"

// The window's modal boxes, answered by the test.
class RecordingBoxes : public MessageBoxes, public Answers {
public:
    void message(QWidget*, const QString& text) override { Answers::message(text); }
    bool question(QWidget*, const QString& text) override { return Answers::question(text); }
};
