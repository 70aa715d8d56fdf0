#pragma once

#include "link/FormView.h"

#include <QHash>
#include <QList>
#include <QStringList>

// The window's offer without a window: texts in a table, messages recorded, answers scripted.
class ScriptedView : public FormView {
public:
    QString text(Field field) const override { return texts.value(field); }
    void setText(Field field, const QString& text) override { texts[field] = text; }
    void setFocus(Field field) override { focus << field; }
    void setSelection(Field field, int start, int length) override
    {
        selections << Selection{field, start, length};
    }
    int languageIndex() const override { return language; }
    void showMessage(const QString& text) override { messages << text; }
    bool askYesNo(const QString& text) override
    {
        questions << text;
        return answers.isEmpty() ? true : answers.takeFirst();
    }

    struct Selection {
        Field field;
        int start;
        int length;
        bool operator==(const Selection&) const = default;
    };

    QHash<Field, QString> texts;
    int language = 0;
    QStringList messages;
    QStringList questions;
    QList<bool> answers;
    QList<Field> focus;
    QList<Selection> selections;
};
