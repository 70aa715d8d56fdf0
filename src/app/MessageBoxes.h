#pragma once

#include <QString>

class QWidget;

// How the window puts its modal boxes to the user. Tests install their own, which records the
// texts and answers the questions as scripted.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void message(QWidget* parent, const QString& text);
    virtual bool question(QWidget* parent, const QString& text);

    static const QString kTitle;
};
