#pragma once

#include <QList>
#include <QStringList>

#include <functional>

// Stands in for the user at the modal boxes: records every text, answers questions from a
// script (Yes when it runs out), and can act while a box would be open.
struct Answers {
    QStringList messages;
    QStringList questions;
    QList<bool> answers;
    std::function<void(const QString&)> onMessage;

    void message(const QString& text)
    {
        messages << text;
        if (onMessage)
            onMessage(text);
    }
    bool question(const QString& text)
    {
        questions << text;
        return answers.isEmpty() ? true : answers.takeFirst();
    }
};
