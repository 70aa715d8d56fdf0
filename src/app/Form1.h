#pragma once

#include "commands/NetworkCommands.h"
#include "commands/PrinterCommands.h"
#include "form/FormState.h"
#include "form/FormView.h"
#include "window/WindowLink.h"

#include <QWidget>

#include <memory>

class EntryField;
class MessageBoxes;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The tool's one window: its controls, the form state the handlers share, start-up and exit.
class Form1 : public QWidget, public FormView {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // FormView
    QString text(Field field) const override;
    void setText(Field field, const QString& text) override;
    void setFocus(Field field) override;
    void setSelection(Field field, int start, int length) override;
    int languageIndex() const override;
    void showMessage(const QString& text) override;
    bool askYesNo(const QString& text) override;

    // Replaces how modal boxes are shown (tests answer them); the window does not own it.
    void setMessageBoxes(MessageBoxes* boxes);
    FormState& state() { return m_form; }
    WindowLink& link() { return m_link; }
    PrinterCommands& commands() { return m_commands; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    void cmdEnd_Click();
    void txtCurIP_GotFocus();
    void txtSetIP_GotFocus();
    void txtID_GotFocus();
    void afterFieldCheck();
    QLineEdit* lineEdit(Field field) const;

    FormState m_form;
    WindowLink m_link;
    PrinterCommands m_commands;
    NetworkCommands m_network;
    std::unique_ptr<MessageBoxes> m_defaultBoxes;
    MessageBoxes* m_boxes = nullptr;

    QLabel* lblCurIP = nullptr;
    EntryField* txtCurIP = nullptr;
    QPushButton* cmdConnect = nullptr;
    QLabel* Label1 = nullptr;
    EntryField* txtSetIP = nullptr;
    QPushButton* cmdSetIP = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtMac0 = nullptr;
    EntryField* txtID = nullptr;
    QPushButton* cmdID = nullptr;
    QLabel* Label2 = nullptr;
    QPlainTextEdit* txtChar = nullptr;
    QPushButton* cmdSend = nullptr;
    QPushButton* cmdCut = nullptr;
    QPushButton* cmdCash = nullptr;
    QPushButton* cmdEnd = nullptr;
    QComboBox* comLanguage = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Command8 = nullptr;
    QPushButton* Command9 = nullptr;
    QLineEdit* txtcodepage = nullptr;
};
