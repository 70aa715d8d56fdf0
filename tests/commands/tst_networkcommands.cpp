#include "app/Form1.h"
#include "commands/NetworkCommands.h"
#include "commands/NetworkFrames.h"
#include "entry/FieldChecks.h"
#include "support/FakePrinter.h"
#include "support/RecordingBoxes.h"
#include "support/TestAddresses.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace NetworkMessages;
using namespace FieldMessages;

// The two network commands in the real window, clicked with the mouse, against a fake printer
// on the default address inside the test namespace.
class TestNetworkCommands : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void eachFrameIsAHeadThenTheAddress();
    void frameOnTheWire_data();
    void frameOnTheWire();
    void answerNoConnectsNothing_data();
    void answerNoConnectsNothing();
    void refusedEntrySendsNothingUntilCorrected_data();
    void refusedEntrySendsNothingUntilCorrected();
    void wrongCurrentAddressIsReportedOnlyAfterYes();
    void unreachablePrinterLeavesTheCurrentAddress();
    void nextCommandReachesTheNewAddress();
    void newAddressWithLeadingZerosIsReadAsDecimal();
    void fieldCheckedDuringTheConnectWaitDoesNotChangeTheConfirmedFrame();

private:
    // Answers questions like RecordingBoxes, and runs afterQuestion once a question is answered.
    struct Boxes : RecordingBoxes {
        bool question(QWidget* parent, const QString& text) override
        {
            const bool yes = RecordingBoxes::question(parent, text);
            if (afterQuestion)
                afterQuestion();
            return yes;
        }
        std::function<void()> afterQuestion;
    };

    QLineEdit* field(const QString& name) const { return m_form->findChild<QLineEdit*>(name); }
    QPushButton* button(const QString& name) const { return m_form->findChild<QPushButton*>(name); }
    void typeInto(const QString& name, const QString& text);
    void click(const QString& name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    QString focusName() const;
    bool startPrinter(FakePrinter& printer, const QString& address);

    std::unique_ptr<Form1> m_form;
    Boxes m_boxes;
};

namespace {

const int kWaitMs = 5000; // one connection attempt and a little
const QString kSetIPQuestion =
    QStringLiteral("The printer IP address will be modified as 192.168.123.200\r\nAre you sure?");
const QString kSetIDQuestion = QStringLiteral(
    "The printer Ethernet ID will be modified as 0-128-128-128-128-128\r\nAre you sure?");
const QByteArray kSetIPFrame = QByteArray::fromHex("1F1B1F91004950C0A87BC8");
const QByteArray kSetIDFrame = QByteArray::fromHex("1F1B1F91004944008080808080");

QString msg(const char* text)
{
    return QString::fromLatin1(text);
}

} // namespace

void TestNetworkCommands::init()
{
    m_boxes = Boxes();
    m_form = std::make_unique<Form1>();
    m_form->setMessageBoxes(&m_boxes);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void TestNetworkCommands::cleanup()
{
    m_form.reset();
}

void TestNetworkCommands::typeInto(const QString& name, const QString& text)
{
    QLineEdit* edit = field(name);
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
    QCOMPARE(edit->text(), text);
}

QString TestNetworkCommands::focusName() const
{
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}

bool TestNetworkCommands::startPrinter(FakePrinter& printer, const QString& address)
{
    return printer.listen(QHostAddress(address), PrinterLink::kPrinterPort);
}

// The socket gets the head and the address in two sends; the wire cannot show the seam.
void TestNetworkCommands::eachFrameIsAHeadThenTheAddress()
{
    const NetworkFrames::Frame ip = NetworkFrames::setIPFrame(m_form->state());
    QCOMPARE(ip.head, QByteArray::fromHex("1F1B1F91004950"));
    QCOMPARE(ip.address, QByteArray::fromHex("C0A87BC8"));
    const NetworkFrames::Frame id = NetworkFrames::setIDFrame(m_form->state());
    QCOMPARE(id.head, QByteArray::fromHex("1F1B1F91004944"));
    QCOMPARE(id.address, QByteArray::fromHex("008080808080"));
}

void TestNetworkCommands::frameOnTheWire_data()
{
    QTest::addColumn<QString>("fieldName"); // empty: the window as it opens
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("currentAfter");
    QTest::addColumn<QString>("focusAfter");

    const QString ipAsk = msg(kAskSetIP);
    const QString idAsk = msg(kAskID);
    const QString sure = QStringLiteral("\r\nAre you sure?");
    const QString current = TestAddresses::kPrinter;
    // clang-format off
    QTest::newRow("set-IP as the window opens")
        << "" << "" << "cmdSetIP" << kSetIPQuestion << kSetIPFrame
        << "192.168.123.200" << "txtCurIP";
    QTest::newRow("set-ID as the window opens")
        << "" << "" << "cmdID" << kSetIDQuestion << kSetIDFrame << current << "cmdID";
    QTest::newRow("set-IP with leading zeros, copied as typed")
        << "txtSetIP" << "010.001.000.009" << "cmdSetIP" << ipAsk + "010.001.000.009" + sure
        << QByteArray::fromHex("1F1B1F910049500A010009") << "010.001.000.009" << "txtCurIP";
    QTest::newRow("set-ID 1-2-3-4-5")
        << "txtID" << "1-2-3-4-5" << "cmdID" << idAsk + "1-2-3-4-5" + sure
        << QByteArray::fromHex("1F1B1F91004944000102030405") << current << "cmdID";
    // clang-format on
}

void TestNetworkCommands::frameOnTheWire()
{
    QFETCH(QString, fieldName);
    QFETCH(QString, text);
    QFETCH(QString, buttonName);
    QFETCH(QString, question);
    QFETCH(QByteArray, wire);
    QFETCH(QString, currentAfter);
    QFETCH(QString, focusAfter);
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    FakePrinter printer;
    QVERIFY(startPrinter(printer, TestAddresses::kPrinter));

    if (!fieldName.isEmpty())
        typeInto(fieldName, text);
    click(buttonName);

    QCOMPARE(m_boxes.questions, QStringList{question});
    QTRY_COMPARE_WITH_TIMEOUT(printer.bytes(0), wire, kWaitMs);
    QCOMPARE(printer.connectionCount(), 1);
    QCOMPARE(m_boxes.messages, QStringList{});
    QCOMPARE(field("txtCurIP")->text(), currentAfter);
    QCOMPARE(focusName(), focusAfter);
}

void TestNetworkCommands::answerNoConnectsNothing_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QString>("question");
    QTest::newRow("set-IP") << "cmdSetIP" << kSetIPQuestion;
    QTest::newRow("set-ID") << "cmdID" << kSetIDQuestion;
}

void TestNetworkCommands::answerNoConnectsNothing()
{
    QFETCH(QString, buttonName);
    QFETCH(QString, question);
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    FakePrinter printer;
    QVERIFY(startPrinter(printer, TestAddresses::kPrinter));

    m_boxes.answers = {false};
    click(buttonName);
    QCOMPARE(m_boxes.questions, QStringList{question});
    QCOMPARE(m_form->link().Winsock1.State(), int(SocketService::Closed));
    QCOMPARE(field("txtCurIP")->text(), TestAddresses::kPrinter);

    // The next command that is let through is the first the printer hears of.
    click("cmdID");
    QTRY_COMPARE_WITH_TIMEOUT(printer.bytes(0), kSetIDFrame, kWaitMs);
    QCOMPARE(printer.connectionCount(), 1);
    QCOMPARE(m_boxes.messages, QStringList{});
}

void TestNetworkCommands::refusedEntrySendsNothingUntilCorrected_data()
{
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("corrected");
    QTest::addColumn<QByteArray>("wire");

    // clang-format off
    QTest::newRow("wrong new IP address")
        << "txtSetIP" << "1.2.3" << "cmdSetIP"
        << QStringList{msg(kWrongSetIP), msg(kRefuseSetIP)}
        << "1.2.3.4" << QByteArray::fromHex("1F1B1F9100495001020304");
    QTest::newRow("wrong Ethernet ID")
        << "txtID" << "1-2-3-4" << "cmdID"
        << QStringList{msg(kWrongID), msg(kRefuseID)}
        << "1-2-3-4-5" << QByteArray::fromHex("1F1B1F91004944000102030405");
    // Regression: an emptied field keeps its earlier flag, and used to be sent with the bytes
    // of its last check and an empty address in the question.
    QTest::newRow("emptied new IP address")
        << "txtSetIP" << "" << "cmdSetIP"
        << QStringList{msg(kEmptySetIP), msg(kRefuseSetIP)}
        << "10.0.0.1" << QByteArray::fromHex("1F1B1F910049500A000001");
    QTest::newRow("emptied Ethernet ID")
        << "txtID" << "" << "cmdID"
        << QStringList{msg(kEmptyID), msg(kRefuseID)}
        << "9-8-7-6-5" << QByteArray::fromHex("1F1B1F91004944000908070605");
    // clang-format on
}

void TestNetworkCommands::refusedEntrySendsNothingUntilCorrected()
{
    QFETCH(QString, fieldName);
    QFETCH(QString, text);
    QFETCH(QString, buttonName);
    QFETCH(QStringList, messages);
    QFETCH(QString, corrected);
    QFETCH(QByteArray, wire);
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    FakePrinter printer;
    QVERIFY(startPrinter(printer, TestAddresses::kPrinter));

    typeInto(fieldName, text);
    click(buttonName);
    QCOMPARE(m_boxes.messages, messages);
    QCOMPARE(m_boxes.questions, QStringList{});
    QCOMPARE(focusName(), fieldName);
    QCOMPARE(m_form->link().Winsock1.State(), int(SocketService::Closed));
    QTRY_VERIFY_WITH_TIMEOUT(!button(buttonName)->isDown(), kWaitMs);

    m_boxes.messages.clear();
    typeInto(fieldName, corrected);
    click(buttonName);
    QTRY_COMPARE_WITH_TIMEOUT(printer.bytes(0), wire, kWaitMs);
    QCOMPARE(printer.connectionCount(), 1);
    QCOMPARE(m_boxes.messages, QStringList{});
}

void TestNetworkCommands::wrongCurrentAddressIsReportedOnlyAfterYes()
{
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    FakePrinter printer;
    QVERIFY(startPrinter(printer, TestAddresses::kPrinter));

    typeInto("txtCurIP", "192.168.123");
    m_boxes.onMessage = [&](const QString& text) {
        if (text == msg(LinkMessages::kInvalidCurrentIP))
            QCOMPARE(m_boxes.questions, QStringList{kSetIPQuestion});
    };
    click("cmdSetIP");
    QCOMPARE(m_boxes.messages,
             (QStringList{msg(kWrongCurIP), msg(LinkMessages::kInvalidCurrentIP)}));
    QCOMPARE(m_boxes.questions, QStringList{kSetIPQuestion});
    QCOMPARE(field("txtCurIP")->text(), QStringLiteral("192.168.123"));
    QCOMPARE(m_form->link().Winsock1.State(), int(SocketService::Closed));
    QCOMPARE(focusName(), QStringLiteral("txtCurIP"));
}

void TestNetworkCommands::unreachablePrinterLeavesTheCurrentAddress()
{
    // Nobody listens there: the connection is refused on this host, and the link times out.
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    click("cmdSetIP");
    QCOMPARE(m_boxes.questions, QStringList{kSetIPQuestion});
    QCOMPARE(m_boxes.messages, QStringList{msg(LinkMessages::kConnectFailed)});
    QCOMPARE(field("txtCurIP")->text(), TestAddresses::kPrinter);
    QVERIFY(!m_form->state().blnConnected);
}

void TestNetworkCommands::nextCommandReachesTheNewAddress()
{
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kNewPrinter);
    FakePrinter oldAddress;
    FakePrinter newAddress;
    QVERIFY(startPrinter(oldAddress, TestAddresses::kPrinter));
    QVERIFY(startPrinter(newAddress, TestAddresses::kNewPrinter));

    click("cmdSetIP");
    QTRY_COMPARE_WITH_TIMEOUT(oldAddress.bytes(0), kSetIPFrame, kWaitMs);
    QCOMPARE(field("txtCurIP")->text(), TestAddresses::kNewPrinter);

    click("cmdID");
    QTRY_COMPARE_WITH_TIMEOUT(newAddress.bytes(0), kSetIDFrame, kWaitMs);
    QCOMPARE(newAddress.connectionCount(), 1);
    QCOMPARE(oldAddress.connectionCount(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(oldAddress.closedByClient(0), kWaitMs);
    QCOMPARE(m_boxes.messages, QStringList{});
}

// Read as octal, 010 would be 8 and the next command would go to 127.0.0.8.
void TestNetworkCommands::newAddressWithLeadingZerosIsReadAsDecimal()
{
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    const QString loopbackTen = QStringLiteral("127.0.0.10");
    REQUIRE_LOCAL_ADDRESS(loopbackTen);
    FakePrinter printer;
    FakePrinter moved;
    QVERIFY(startPrinter(printer, TestAddresses::kPrinter));
    QVERIFY(startPrinter(moved, loopbackTen));

    typeInto("txtSetIP", "127.000.000.010");
    click("cmdSetIP");
    QTRY_COMPARE_WITH_TIMEOUT(printer.bytes(0), QByteArray::fromHex("1F1B1F910049507F00000A"),
                              kWaitMs);
    QCOMPARE(field("txtCurIP")->text(), QStringLiteral("127.000.000.010"));

    click("cmdID");
    QTRY_COMPARE_WITH_TIMEOUT(moved.bytes(0), kSetIDFrame, kWaitMs);
    QCOMPARE(m_boxes.messages, QStringList{});
}

// Regression: the frame used to be built after the connection was made, from whatever the
// field's check had stored by then, and the field's text of that moment was copied.
void TestNetworkCommands::fieldCheckedDuringTheConnectWaitDoesNotChangeTheConfirmedFrame()
{
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    FakePrinter printer;
    QVERIFY(startPrinter(printer, TestAddresses::kPrinter));

    // Runs from the event loop of the connection wait, as a user's edit of the field would.
    m_boxes.afterQuestion = [this] {
        QTimer::singleShot(0, m_form.get(), [this] {
            m_form->setText(Field::SetIP, QStringLiteral("10.9.8.7"));
            FieldChecks::txtSetIP_LostFocus(*m_form, m_form->state());
        });
    };
    click("cmdSetIP");
    QCOMPARE(m_form->state().bytNewIP, (std::array<std::uint8_t, 4>{10, 9, 8, 7}));
    QTRY_COMPARE_WITH_TIMEOUT(printer.bytes(0), kSetIPFrame, kWaitMs);
    QCOMPARE(field("txtCurIP")->text(), TestAddresses::kNewPrinter);
}

QTEST_MAIN(TestNetworkCommands)
#include "tst_networkcommands.moc"
