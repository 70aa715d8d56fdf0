#pragma once

#include <QString>

// The text boxes that handlers outside the window read or change.
enum class Field { CurIP, SetIP, ID, Char, CodePage };

// What the window offers the link, the checks and the commands. The window implements it with
// widgets and modal boxes; tests and other front ends implement it with scripted answers.
class FormView {
public:
    virtual ~FormView() = default;

    // The box's text; line breaks of the multi-line box read as CR LF.
    virtual QString text(Field field) const = 0;
    virtual void setText(Field field, const QString& text) = 0;
    // Gives the keyboard focus, which runs the box's GotFocus handler where it has one.
    virtual void setFocus(Field field) = 0;
    virtual void setSelection(Field field, int start, int length) = 0;
    // Selected index of the language list, -1 when no item is selected.
    virtual int languageIndex() const = 0;
    // Modal box, OK only, no icon, titled with the application's name.
    virtual void showMessage(const QString& text) = 0;
    // Modal box with Yes (the default) and No; true for Yes.
    virtual bool askYesNo(const QString& text) = 0;
};
