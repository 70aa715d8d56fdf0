#pragma once

#include "app/MessageBoxes.h"

#include <QList>
#include <QStringList>

#include <functional>

// Answers the window's modal boxes in tests: records every text, answers questions from a
// script (Yes when it runs out), and can act while a box would be open.
class RecordingBoxes : public MessageBoxes {
public:
    void message(QWidget*, const QString& text) override
    {
        messages << text;
        if (onMessage)
            onMessage(text);
    }
    bool question(QWidget*, const QString& text) override
    {
        questions << text;
        return answers.isEmpty() ? true : answers.takeFirst();
    }

    QStringList messages;
    QStringList questions;
    QList<bool> answers;
    std::function<void(const QString&)> onMessage;
};
