#include "core/DefaultPrintText.h"
#include "support/Rows.h"
#include "support/WindowRig.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

struct Control {
    const char* name;
    QString caption;
    QRect pixels;
    bool visible;
    QColor colour; // invalid: not checked
    double points; // 0: not checked
};
struct Limit {
    const char* name;          // the field
    QString expected, longest; // typed into it, and the longest it must show whole
};
Q_DECLARE_METATYPE(Control)
Q_DECLARE_METATYPE(Limit)

class Form1Test : public QObject {
    Q_OBJECT

private slots:
    void controlsAsGiven_data()
    {
        const QColor darkRed(192, 0, 0), blue(0, 0, 255), red(255, 0, 0), none;
        addRows<Control>({
            {"lblCurIP", "Printer current  IP address:", {16, 16, 153, 41}, true, darkRed, 14.25},
            {"txtCurIP", "192.168.123.100", {168, 24, 177, 33}, true, blue, 15.75},
            {"cmdConnect", "Connect Test", {360, 24, 145, 33}, true, none, 0},
            {"Label1", "Printer set new IP address:", {16, 64, 153, 41}, true, darkRed, 14.25},
            {"txtSetIP", "192.168.123.200", {168, 72, 177, 33}, true, darkRed, 15.75},
            {"cmdSetIP", "Set New IP Address", {360, 72, 145, 33}, true, none, 0},
            {"Label3", "Printer set new Ethernet ID:", {16, 112, 161, 41}, true, darkRed, 14.25},
            {"txtMac0", "0-", {168, 120, 25, 33}, true, darkRed, 10.5},
            {"txtID", "128-128-128-128-128", {192, 120, 153, 33}, true, darkRed, 10.5},
            {"cmdID", "Set New Ethernet ID", {360, 120, 145, 33}, true, none, 0},
            {"Label2", "Input Print characters:", {16, 160, 193, 25}, true, darkRed, 12},
            {"txtChar", defaultPrintText(), {16, 176, 489, 81}, true, blue, 10.5},
            {"cmdSend", "Print ", {8, 264, 121, 41}, true, none, 9.75},
            {"cmdCut", "Cut Paper", {136, 264, 121, 41}, true, none, 9.75},
            {"cmdCash", "CASH DRAWER", {264, 264, 121, 41}, true, none, 9.75},
            {"cmdEnd", "END", {392, 264, 121, 41}, true, none, 9.75},
            {"comLanguage", "中文简体", {8, 328, 121, 28}, false, blue, 12},
            {"Command3", "设置语言", {136, 320, 121, 41}, false, none, 9.75},
            {"Command6", "下载NV位图", {264, 320, 121, 41}, false, none, 9.75},
            {"Command7", "打印NV位图", {392, 320, 121, 41}, false, none, 9.75},
            {"Command4", "启用黑标检测", {8, 376, 121, 41}, false, none, 9.75},
            {"Command5", "关闭黑标检测", {136, 376, 121, 41}, false, none, 9.75},
            {"Command1", "OstrikARM", {264, 376, 121, 41}, false, none, 9.75},
            {"Command2", "VelmarARM", {392, 376, 121, 41}, false, none, 9.75},
            {"txtcodepage", "10", {8, 432, 113, 33}, false, red, 13.5},
            {"Command8", "设置默认代码页", {136, 432, 121, 41}, false, none, 9.75},
            {"Command9", "打印代码页", {264, 432, 121, 41}, false, none, 9.75},
        });
    }
    void controlsAsGiven()
    {
        QFETCH(Control, row);
        WindowRig w;
        QWidget* widget = w.form.findChild<QWidget*>(QString::fromLatin1(row.name));
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), row.pixels);
        QCOMPARE(widget->isVisible(), row.visible);
        // Labels, buttons and fields show their "text"; the print box its text as sent.
        const bool label = qobject_cast<QLabel*>(widget);
        QString shown =
            widget->property(qobject_cast<QComboBox*>(widget) ? "currentText" : "text").toString();
        if (qobject_cast<QPlainTextEdit*>(widget))
            shown = w.form.text(Field::Char);
        QCOMPARE(shown, row.caption);
        if (row.colour.isValid())
            QCOMPARE(widget->palette().color(label ? QPalette::WindowText : QPalette::Text),
                     row.colour);
        if (row.points > 0)
            QCOMPARE(widget->font().pointSizeF(), row.points);
        QCOMPARE(widget->font().weight(), QFont::Normal);
        QVERIFY(!widget->font().italic());
    }

    void windowAsGiven()
    {
        WindowRig w;
        QCOMPARE(w.form.windowTitle(), QStringLiteral("Corvane V1.1"));
        QCOMPARE(w.form.size(), QSize(519, 324));
        auto* list = w.child<QComboBox>("comLanguage");
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        QCOMPARE(items, (QStringList{"中文简体", "中文繁体", "韩文", "日文"}));
        QCOMPARE(w.form.languageIndex(), 0);
        list->show(); // the list has its edit field whenever it can be seen
        QVERIFY(list->isEditable());
        list->lineEdit()->setText(QStringLiteral("x"));
        QCOMPARE(w.form.languageIndex(), -1);
    }

    // The page the original window prints, byte for byte; a few lines say what it is.
    void defaultPrintTextIsTheOriginalPage()
    {
        const QString text = defaultPrintText();
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        QCOMPARE(text.size(), 925);
        QCOMPARE(lines.size(), 40);
        QCOMPARE(lines[1], QStringLiteral("Printer Ethernet Interface Test:"));
        QCOMPARE(lines[19], // the middle of the diamond
                 QString(6, u' ') + QString(6, u'/') + QString(15, u'*') + QString(6, u'/'));
        QCOMPARE(QCryptographicHash::hash(text.toLatin1(), QCryptographicHash::Sha1).toHex(),
                 QByteArray("5b2776e469af5edd7ca539afdcda8ff8a817e35d"));
    }

    void startsOnConnectTestAndTabsInTheGivenOrder()
    {
        WindowRig w;
        QCOMPARE(w.focusName(), QStringLiteral("cmdConnect"));
        QStringList visited;
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << w.focusName();
        }
        // The hidden group never takes the focus: after cmdCash the cycle starts again.
        QCOMPARE(visited,
                 (QStringList{"txtChar", "txtSetIP", "cmdEnd", "cmdSend", "txtCurIP", "cmdSetIP",
                              "txtID", "cmdID", "txtMac0", "cmdCut", "cmdCash", "cmdConnect"}));
        QCOMPARE(w.child<QPlainTextEdit>("txtChar")->toPlainText().count(u'\t'), 0);
    }

    void enteringAFieldSelectsItsWholeText_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("byMouse");
        QTest::addColumn<bool>("emptied"); // an empty selection at the start, then
        for (const char* field : {"txtCurIP", "txtSetIP", "txtID"}) {
            QTest::addRow("%s by Tab", field) << field << false << false;
            QTest::addRow("%s by mouse", field) << field << true << false;
        }
        QTest::newRow("txtID emptied, by mouse") << "txtID" << true << true;
    }
    void enteringAFieldSelectsItsWholeText()
    {
        QFETCH(QString, field);
        QFETCH(bool, byMouse);
        QFETCH(bool, emptied);
        WindowRig w;
        auto* edit = w.child(field);
        if (emptied)
            edit->clear();
        const QString text = edit->text();
        if (byMouse) {
            QTest::mouseClick(edit, Qt::LeftButton);
        } else {
            QWidget* before = edit->previousInFocusChain();
            before->setFocus(Qt::OtherFocusReason);
            QTest::keyClick(before, Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), edit);
        QCOMPARE(edit->selectedText(), text);
        QCOMPARE(edit->selectionStart(), emptied ? -1 : 0);
        QCOMPARE(edit->cursorPosition(), text.size());
        QTest::keyClick(edit, Qt::Key_7);
        QCOMPARE(edit->text(), QStringLiteral("7"));
    }

    // Typing stops at the limit, and the longest address a field takes fits its box: the
    // substitute for a missing SimSun must keep digits as narrow as SimSun's.
    void fieldsTakeNoMoreThanTheirLimit_data()
    {
        const QString ip = QStringLiteral("255.255.255.255");
        addRows<Limit>({
            {"txtCurIP", "123456789012345", ip},
            {"txtSetIP", "123456789012345", ip},
            {"txtID", "1234567890123456789", "255-255-255-255-255"},
            {"txtMac0", "0-", "0-"}, // takes no typing
        });
    }
    void fieldsTakeNoMoreThanTheirLimit()
    {
        QFETCH(Limit, row);
        WindowRig w;
        auto* edit = w.child(QString::fromLatin1(row.name));
        edit->setFocus(Qt::TabFocusReason);
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("12345678901234567890123"));
        QCOMPARE(edit->text(), row.expected);
        QCOMPARE(QApplication::focusWidget(), edit);
        const int room = edit->width() - 8; // frame and text margins
        QVERIFY2(QFontMetrics(edit->font()).horizontalAdvance(row.longest) <= room,
                 qPrintable(QFontInfo(edit->font()).family()));
    }

    // Regression: the box's no-break space reached the encoder as a plain space.
    void printTextIsReadAsTyped()
    {
        WindowRig w;
        auto* box = w.child<QPlainTextEdit>("txtChar");
        box->clear();
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClicks(box, QStringLiteral("a\u00a0b"));
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClicks(box, QStringLiteral("c"));
        QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier); // a line break inside a block
        QCOMPARE(w.form.text(Field::Char), QStringLiteral("a\u00a0b\r\nc\r\n"));
    }

    // Regression: coming back to the window selected the field's whole text, undoing where the
    // user had put the caret. Focus a handler gives while the window is away still selects.
    void returningToTheWindowKeepsTheCaret()
    {
        WindowRig w;
        auto* current = w.child("txtCurIP");
        QTest::mouseClick(current, Qt::LeftButton);
        current->setCursorPosition(3);
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        w.form.setFocus(Field::SetIP); // as a handler does right after its box has closed
        w.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
        QCOMPARE(w.focusName(), QStringLiteral("txtSetIP"));
        QCOMPARE(w.child("txtSetIP")->selectedText(), QStringLiteral("192.168.123.200"));

        QTest::mouseClick(current, Qt::LeftButton);
        current->setCursorPosition(3);
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        w.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
        QCOMPARE(w.focusName(), QStringLiteral("txtCurIP"));
        QVERIFY(!current->hasSelectedText());
        QCOMPARE(current->cursorPosition(), 3);
    }

    // A real message box takes the mouse release of the click whose press moved the focus
    // out of the field; the button never sees it.
    void checkMessageLeavesNoButtonDrawnPressed()
    {
        WindowRig w;
        auto* field = w.child<QLineEdit>("txtSetIP");
        field->setFocus(Qt::MouseFocusReason);
        field->setText(QStringLiteral("1.2.3"));
        auto* button = w.child<QPushButton>("cmdCut");
        w.boxes.onMessage = [&](const QString&) {
            QTest::mouseRelease(&w.form, Qt::LeftButton, {}, QPoint(2, 2));
        };
        QTest::mousePress(button, Qt::LeftButton);
        QCOMPARE(w.boxes.messages, QStringList{"The set new IP address isn't correct."});
        QTRY_VERIFY_WITH_TIMEOUT(!button->isDown(), 2000);
        QVERIFY(!w.form.state().blnSetIPValid);
    }
};

QTEST_MAIN(Form1Test)
#include "tst_form1.moc"
