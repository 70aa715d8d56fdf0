#pragma once

#include "form/FormView.h"
#include "support/Answers.h"

#include <QHash>
#include <QList>

// The window's offer without a window: texts in a table, the boxes answered by the test.
class ScriptedView : public FormView, public Answers {
public:
    QString text(Field field) const override { return texts.value(field); }
    void setText(Field field, const QString& text) override { texts[field] = text; }
    void setFocus(Field field) override { focus << field; }
    void setSelection(Field field, int start, int length) override
    {
        selections << Selection{field, start, length};
    }
    int languageIndex() const override { return language; }
    void showMessage(const QString& text) override { message(text); }
    bool askYesNo(const QString& text) override { return question(text); }

    struct Selection {
        Field field;
        int start;
        int length;
        bool operator==(const Selection&) const = default;
    };

    QHash<Field, QString> texts;
    int language = 0;
    QList<Field> focus;
    QList<Selection> selections;
};
