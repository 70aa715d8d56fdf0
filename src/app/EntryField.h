#pragma once

#include <QLineEdit>

// A single-line text box that reports gaining the focus and losing it to another control of
// its own window, the two events its handlers care about.
class EntryField : public QLineEdit {
    Q_OBJECT
public:
    explicit EntryField(QWidget* parent = nullptr);

    // Focus given by a handler: reported as gained even when the window is not active yet (a
    // message box just closed), in which case the focus arrives only with the window.
    void giveFocus();

signals:
    void gotFocus();
    void lostFocus();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool m_selectAfterPress = false;
    bool m_given = false;
};
