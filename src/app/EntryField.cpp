#include "EntryField.h"

#include <QApplication>
#include <QFocusEvent>

EntryField::EntryField(QWidget* parent)
    : QLineEdit(parent)
{}

void EntryField::giveFocus()
{
    setFocus(Qt::OtherFocusReason);
    m_given = !hasFocus();
}

void EntryField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    // Coming back to the window, from another application or a message box, is no new focus:
    // the caret stays where the user left it.
    const Qt::FocusReason reason = event->reason();
    const bool returning = reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
    if (returning && !std::exchange(m_given, false))
        return;
    // The press that gave the focus by mouse places the caret afterwards, undoing a selection
    // made here; so the handler runs again once that press is through.
    m_selectAfterPress = reason == Qt::MouseFocusReason;
    emit gotFocus();
}

void EntryField::mousePressEvent(QMouseEvent* event)
{
    QLineEdit::mousePressEvent(event);
    if (std::exchange(m_selectAfterPress, false))
        emit gotFocus();
}

void EntryField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    m_selectAfterPress = false;
    // A message box opening, a popup or another application being activated is no loss of
    // focus to the field's check: only a move to another control of this window is.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return;
    m_given = false;
    const QWidget* next = QApplication::focusWidget();
    if (next && next != this && next->window() == window())
        emit lostFocus();
}
