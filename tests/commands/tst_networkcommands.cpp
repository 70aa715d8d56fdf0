#include "core/Texts.h"
#include "entry/FieldChecks.h"
#include "support/WindowRig.h"

#include <QPushButton>
#include <QTimer>

using namespace Texts;

namespace {

const QString kSetIPQuestion =
    QStringLiteral("The printer IP address will be modified as 192.168.123.200\r\nAre you sure?");
const QString kSetIDQuestion = QStringLiteral(
    "The printer Ethernet ID will be modified as 0-128-128-128-128-128\r\nAre you sure?");
const QByteArray kSetIPFrame = QByteArray::fromHex("1F1B1F91004950C0A87BC8");
const QByteArray kSetIDFrame = QByteArray::fromHex("1F1B1F91004944008080808080");

struct Change {
    QString field, text, button, question; // no field: the window as it opens
    bool yes;
    QByteArray wire;
    QString currentAfter, movedTo{}; // where the next command goes; empty: not moved
    bool editWhileConnecting = false;
};

struct Refusal {
    QString field, text, button;
    QStringList messages;
    QList<qsizetype> asked; // questions asked before each message
};

} // namespace

// The two network commands in the real window against a fake printer.
class TestNetworkCommands : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
        m_bench = std::make_unique<WindowRig>();
    }
    void cleanup() { m_bench.reset(); }

    void confirmedChangeGoesOut_data()
    {
        QTest::addColumn<Change>("change");
        const QString sure = QStringLiteral("\r\nAre you sure?");
        const QString ip = TestAddresses::kPrinter;
        const QString newIP = TestAddresses::kNewPrinter;
        const QString zeros = QStringLiteral("127.000.000.010");
        // clang-format off
        QTest::newRow("set-IP as the window opens")
            << Change{{}, {}, "cmdSetIP", kSetIPQuestion, true, kSetIPFrame, newIP, newIP};
        // Read as octal, 010 would be 8 and the next command would go to 127.0.0.8.
        QTest::newRow("set-IP with leading zeros")
            << Change{"txtSetIP", zeros, "cmdSetIP", msg(kAskSetIP) + zeros + sure, true,
                      QByteArray::fromHex("1F1B1F910049507F00000A"), zeros, "127.0.0.10"};
        // Regression: the frame used to be built once connected, from what was checked by then.
        QTest::newRow("set-IP, new address checked again while connecting")
            << Change{{}, {}, "cmdSetIP", kSetIPQuestion, true, kSetIPFrame, newIP, newIP, true};
        QTest::newRow("set-ID as the window opens")
            << Change{{}, {}, "cmdID", kSetIDQuestion, true, kSetIDFrame, ip, {}};
        QTest::newRow("set-ID 1-2-3-4-5")
            << Change{"txtID", "1-2-3-4-5", "cmdID", msg(kAskID) + "1-2-3-4-5" + sure, true,
                      QByteArray::fromHex("1F1B1F91004944000102030405"), ip, {}};
        QTest::newRow("set-IP answered No")
            << Change{{}, {}, "cmdSetIP", kSetIPQuestion, false, {}, ip};
        QTest::newRow("set-ID answered No")
            << Change{{}, {}, "cmdID", kSetIDQuestion, false, {}, ip};
        // clang-format on
    }
    void confirmedChangeGoesOut()
    {
        QFETCH(Change, change);
        WindowRig& b = *m_bench;
        QVERIFY(b.listen());
        FakePrinter moved;
        if (!change.movedTo.isEmpty()) {
            REQUIRE_LOCAL_ADDRESS(change.movedTo);
            QVERIFY(moved.listen(QHostAddress(change.movedTo)));
        }
        bool edited = false;
        if (change.editWhileConnecting) {
            QTimer::singleShot(0, &b.form, [&] {
                edited = b.boxes.questions.size() == 1;
                b.form.setText(Field::SetIP, QStringLiteral("10.9.8.7"));
                FieldChecks::txtSetIP_LostFocus(b.form, b.form.state());
                edited = edited && b.form.state().bytNewIP[0] == 10;
            });
        }
        b.boxes.answers = {change.yes};
        if (!change.field.isEmpty())
            b.typeInto(change.field, change.text);
        b.click(change.button);
        QCOMPARE(b.boxes.questions, QStringList{change.question});
        QCOMPARE(edited, change.editWhileConnecting);
        QCOMPARE(b.form.link().attempts(), change.yes ? 1 : 0); // No: nothing connected
        QTRY_COMPARE_WITH_TIMEOUT(b.printer.bytes(0), change.wire, kWireMs);
        QCOMPARE(b.boxes.messages, QStringList{});
        QCOMPARE(b.child("txtCurIP")->text(), change.currentAfter);
        QCOMPARE(b.focusName(), change.movedTo.isEmpty() ? change.button : "txtCurIP");
        if (change.movedTo.isEmpty())
            return;
        b.click("cmdID");
        QTRY_COMPARE_WITH_TIMEOUT(moved.bytes(0), kSetIDFrame, kWireMs);
        QTRY_VERIFY_WITH_TIMEOUT(b.printer.closedByClient(0), kWireMs);
        QCOMPARE(b.printer.connectionCount(), 1);
        QCOMPARE(moved.connectionCount(), 1);
    }

    void refusedEntrySendsNothing_data()
    {
        QTest::addColumn<Refusal>("refusal");
        // clang-format off
        QTest::newRow("wrong new IP address")
            << Refusal{"txtSetIP", "1.2.3", "cmdSetIP", {msg(kWrongSetIP), msg(kRefuseSetIP)},
                       {0, 0}};
        // Regression: an emptied field keeps its old flag and used to be sent with old bytes.
        QTest::newRow("emptied new IP address")
            << Refusal{"txtSetIP", "", "cmdSetIP", {msg(kEmptySetIP), msg(kRefuseSetIP)}, {0, 0}};
        QTest::newRow("emptied Ethernet ID")
            << Refusal{"txtID", "", "cmdID", {msg(kEmptyID), msg(kRefuseID)}, {0, 0}};
        // The current address is the link's to refuse, after the question.
        QTest::newRow("wrong current address")
            << Refusal{"txtCurIP", "192.168.123", "cmdSetIP",
                       {msg(kWrongCurIP), msg(kInvalidCurrentIP)}, {0, 1}};
        // clang-format on
    }
    void refusedEntrySendsNothing()
    {
        QFETCH(Refusal, refusal);
        WindowRig& b = *m_bench;
        QList<qsizetype> asked;
        b.boxes.onMessage = [&](const QString&) { asked << b.boxes.questions.size(); };
        b.typeInto(refusal.field, refusal.text);
        b.click(refusal.button);
        QCOMPARE(b.boxes.messages, refusal.messages);
        QCOMPARE(asked, refusal.asked);
        QCOMPARE(b.focusName(), refusal.field);
        QCOMPARE(b.form.link().attempts(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!b.child<QPushButton>(refusal.button)->isDown(), kWireMs);
    }

    void unreachablePrinterLeavesTheCurrentAddress()
    {
        m_bench->click("cmdSetIP"); // nobody listens: the connection is refused
        QCOMPARE(m_bench->boxes.questions, QStringList{kSetIPQuestion});
        QCOMPARE(m_bench->boxes.messages, QStringList{msg(kConnectFailed)});
        QCOMPARE(m_bench->child("txtCurIP")->text(), TestAddresses::kPrinter);
    }

private:
    std::unique_ptr<WindowRig> m_bench;
};

QTEST_MAIN(TestNetworkCommands)
#include "tst_networkcommands.moc"
