#include "core/Texts.h"
#include "support/WindowRig.h"

using namespace Texts;

namespace {

struct Leave {
    QString field, text, by; // by: a control to click, or empty for the Tab key
    QString message, focus;
    bool FormState::*flag;
    bool flagAfter;
    bool byEmpty = false; // the control clicked is an empty new IP field
};

} // namespace

// The checks in the real window as a user meets them.
class TestFieldChecks : public QObject {
    Q_OBJECT
private slots:
    // Some rows leave a field by clicking a command button, whose command may then connect to
    // the printer's default address: that must be one of this host's own.
    void init()
    {
        REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
        m_bench = std::make_unique<WindowRig>();
    }
    void cleanup() { m_bench.reset(); }

    void leavingAField_data()
    {
        QTest::addColumn<Leave>("row");
        const auto cur = &FormState::blnCurIPValid;
        const auto set = &FormState::blnSetIPValid;
        const auto idv = &FormState::blnIDValid;
        // Empty: back into the field, the flag untouched. Wrong: on to where the user went.
        // clang-format off
        QTest::newRow("current empty")
            << Leave{"txtCurIP", "", "", msg(kEmptyCurIP), "txtCurIP", cur, true};
        QTest::newRow("current too short")
            << Leave{"txtCurIP", "1.2.3", "", msg(kWrongCurIP), "cmdSetIP", cur, false};
        // Regression: the clicked field, empty too, must not send the focus back, and so on.
        QTest::newRow("current empty, into an empty new IP")
            << Leave{"txtCurIP", "", "txtSetIP", msg(kEmptyCurIP), "txtCurIP", cur, true, true};
        QTest::newRow("new IP empty")
            << Leave{"txtSetIP", "", "txtMac0", msg(kEmptySetIP), "txtSetIP", set, true};
        QTest::newRow("new IP 300")
            << Leave{"txtSetIP", "10.0.0.300", "", msg(kWrongSetIP), "cmdEnd", set, false};
        QTest::newRow("ID empty") << Leave{"txtID", "", "", msg(kEmptyID), "txtID", idv, true};
        QTest::newRow("ID 256")
            << Leave{"txtID", "10-20-30-40-256", "txtSetIP", msg(kWrongID), "txtSetIP", idv, false};
        QTest::newRow("ID valid") << Leave{"txtID", "1-2-3-4-5", "", "", "cmdID", idv, true};
        // clang-format on
    }
    void leavingAField()
    {
        QFETCH(Leave, row);
        WindowRig& b = *m_bench;
        QList<bool> flagWhileShown; // the flag falls only after the box is dismissed
        b.boxes.onMessage = [&](const QString&) {
            flagWhileShown << b.form.state().*row.flag;
            if (flagWhileShown.size() > 6) { // a loop fails here, not by overflowing the stack
                b.form.setText(Field::CurIP, "1.1.1.1");
                b.form.setText(Field::SetIP, "2.2.2.2");
            }
        };
        if (row.byEmpty)
            b.form.setText(Field::SetIP, QString());
        b.typeInto(row.field, row.text);
        QVERIFY(b.boxes.messages.isEmpty());
        leave(row.by);
        QCOMPARE(b.boxes.messages,
                 row.message.isEmpty() ? QStringList() : QStringList{row.message});
        QCOMPARE(flagWhileShown, QList<bool>(b.boxes.messages.size(), true));
        QCOMPARE(b.focusName(), row.focus);
        QCOMPARE(b.form.state().*row.flag, row.flagAfter);
        QCOMPARE(b.child(row.field)->text(), row.text); // the check never touches the text
    }

    void everyLossOfFocusRunsTheCheckAgain()
    {
        WindowRig& b = *m_bench;
        const bool& valid = b.form.state().blnSetIPValid;
        b.typeInto("txtSetIP", "1.2.3");
        leave("txtMac0");
        b.click("txtSetIP"); // unchanged and wrong: said again
        leave("txtMac0");
        QCOMPARE(b.boxes.messages, QStringList(2, msg(kWrongSetIP)));
        b.typeInto("txtSetIP", ""); // emptied: the flag stays as the last check left it
        leave("txtMac0");
        QCOMPARE(b.boxes.messages.last(), msg(kEmptySetIP));
        QVERIFY(!valid);
        b.boxes.messages.clear();
        b.typeInto("txtSetIP", "192.168.1.20"); // valid, then left twice: not a word
        leave("txtMac0");
        b.click("txtSetIP");
        leave("");
        QCOMPARE(b.boxes.messages, QStringList{});
        QVERIFY(valid);
    }

private:
    void leave(const QString& by)
    {
        if (by.isEmpty())
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        else
            m_bench->click(by);
    }

    std::unique_ptr<WindowRig> m_bench;
};

QTEST_MAIN(TestFieldChecks)
#include "tst_fieldchecks.moc"
