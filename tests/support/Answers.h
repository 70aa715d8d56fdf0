#pragma once

#include <QList>
#include <QStringList>
#include <QTest>

#include <functional>

// Stands in for the user at the modal boxes: records every text, answers questions from a
// script (Yes when it runs out), and can act while a box would be open.
struct Answers {
    QStringList messages;
    QStringList questions;
    QList<bool> answers;
    std::function<void(const QString&)> onMessage;
    // While set, every box stays open, the events flowing as under a modal box, until this holds
    // or openMs have passed: a user who reads slowly.
    std::function<bool()> openUntil;
    int openMs = 10000;

    void message(const QString& text)
    {
        messages << text;
        if (onMessage)
            onMessage(text);
        (void)(openUntil && QTest::qWaitFor(openUntil, openMs));
    }
    bool question(const QString& text)
    {
        questions << text;
        (void)(openUntil && QTest::qWaitFor(openUntil, openMs));
        return answers.isEmpty() ? true : answers.takeFirst();
    }
};
