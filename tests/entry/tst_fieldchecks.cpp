#include "app/Form1.h"
#include "entry/FieldChecks.h"
#include "support/RecordingBoxes.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <span>

using namespace FieldMessages;

// The checks in the real window, offscreen, driven with the mouse and the keyboard. No test
// here clicks a command button, so nothing is connected.
class TestFieldChecks : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void leavingAField_data();
    void leavingAField();
    void everyLossOfFocusRunsTheCheckAgain();
    void flagFallsOnlyAfterTheErrorBoxIsDismissed();
    void twoEmptyFieldsDoNotHandTheFocusToEachOtherForever();

private:
    QWidget* control(const QString& name) const { return m_form->findChild<QWidget*>(name); }
    QLineEdit* field(const QString& name) const { return m_form->findChild<QLineEdit*>(name); }
    void typeInto(const QString& name, const QString& text);
    void leaveBy(const QString& target);
    QString focusName() const;

    std::unique_ptr<Form1> m_form;
    RecordingBoxes m_boxes;
};

namespace {

QByteArray bytes(std::span<const std::uint8_t> values)
{
    return QByteArray(reinterpret_cast<const char*>(values.data()), qsizetype(values.size()));
}

QString msg(const char* text)
{
    return QString::fromLatin1(text);
}

const QString kTab = QStringLiteral("Tab");

} // namespace

void TestFieldChecks::init()
{
    m_boxes = RecordingBoxes();
    m_form = std::make_unique<Form1>();
    m_form->setMessageBoxes(&m_boxes);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void TestFieldChecks::cleanup()
{
    m_form.reset();
}

// Clicks into the field, which selects its text, and replaces that text by typing.
void TestFieldChecks::typeInto(const QString& name, const QString& text)
{
    QLineEdit* edit = field(name);
    QTest::mouseClick(edit, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), edit);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
    QCOMPARE(edit->text(), text);
}

void TestFieldChecks::leaveBy(const QString& target)
{
    if (target == kTab)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    else
        QTest::mouseClick(control(target), Qt::LeftButton);
}

QString TestFieldChecks::focusName() const
{
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}

void TestFieldChecks::leavingAField_data()
{
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("leaveBy");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool FormState::*>("flag");
    QTest::addColumn<bool>("flagAfter");
    QTest::addColumn<QByteArray>("newIP");
    QTest::addColumn<QByteArray>("newID");

    const QByteArray ip = QByteArray::fromHex("C0A87BC8");
    const QByteArray id = QByteArray::fromHex("008080808080");
    const auto cur = &FormState::blnCurIPValid;
    const auto set = &FormState::blnSetIPValid;
    const auto idv = &FormState::blnIDValid;

    // clang-format off
    QTest::newRow("current empty, back in the field")
        << "txtCurIP" << "" << kTab << QStringList{msg(kEmptyCurIP)} << "txtCurIP"
        << cur << true << ip << id;
    QTest::newRow("current too short, focus where tabbed")
        << "txtCurIP" << "1.2.3" << kTab << QStringList{msg(kWrongCurIP)} << "cmdSetIP"
        << cur << false << ip << id;
    QTest::newRow("current valid stores nothing")
        << "txtCurIP" << "10.0.0.1" << "txtMac0" << QStringList{} << "txtMac0"
        << cur << true << ip << id;
    QTest::newRow("new IP empty, back in the field")
        << "txtSetIP" << "" << "txtMac0" << QStringList{msg(kEmptySetIP)} << "txtSetIP"
        << set << true << ip << id;
    QTest::newRow("new IP 300 keeps the octets before it")
        << "txtSetIP" << "10.0.0.300" << kTab << QStringList{msg(kWrongSetIP)} << "cmdEnd"
        << set << false << QByteArray::fromHex("0A0000C8") << id;
    QTest::newRow("new IP with a letter stores nothing, focus in the field clicked")
        << "txtSetIP" << "1.2.x.4" << "txtID" << QStringList{msg(kWrongSetIP)} << "txtID"
        << set << false << ip << id;
    QTest::newRow("ID empty, back in the field")
        << "txtID" << "" << kTab << QStringList{msg(kEmptyID)} << "txtID"
        << idv << true << ip << id;
    QTest::newRow("ID 256 keeps the parts before it and the fixed 0")
        << "txtID" << "10-20-30-40-256" << "txtSetIP" << QStringList{msg(kWrongID)} << "txtSetIP"
        << idv << false << ip << QByteArray::fromHex("000A141E2880");
    QTest::newRow("ID valid goes after the fixed 0")
        << "txtID" << "1-2-3-4-5" << kTab << QStringList{} << "cmdID"
        << idv << true << ip << QByteArray::fromHex("000102030405");
    // clang-format on
}

void TestFieldChecks::leavingAField()
{
    QFETCH(QString, fieldName);
    QFETCH(QString, text);
    QFETCH(QString, leaveBy);
    QFETCH(QStringList, messages);
    QFETCH(QString, focus);
    QFETCH(bool FormState::*, flag);
    QFETCH(bool, flagAfter);
    QFETCH(QByteArray, newIP);
    QFETCH(QByteArray, newID);

    typeInto(fieldName, text);
    QVERIFY(m_boxes.messages.isEmpty());
    this->leaveBy(leaveBy);

    QCOMPARE(m_boxes.messages, messages);
    QCOMPARE(focusName(), focus);
    QCOMPARE(m_form->state().*flag, flagAfter);
    QCOMPARE(bytes(m_form->state().bytNewIP), newIP);
    QCOMPARE(bytes(m_form->state().bytNewID), newID);
    QCOMPARE(field(fieldName)->text(), text); // the check never touches the text
    QVERIFY(m_boxes.questions.isEmpty());
}

void TestFieldChecks::everyLossOfFocusRunsTheCheckAgain()
{
    const bool& valid = m_form->state().blnSetIPValid;
    typeInto("txtSetIP", "1.2.3");
    leaveBy("txtMac0");
    QCOMPARE(m_boxes.messages, QStringList{msg(kWrongSetIP)});
    QVERIFY(!valid);

    // Unchanged and wrong: the same complaint again.
    QTest::mouseClick(field("txtSetIP"), Qt::LeftButton);
    leaveBy("txtMac0");
    QCOMPARE(m_boxes.messages, QStringList(2, msg(kWrongSetIP)));

    // Emptied: sent back into the field, and the flag stays as the last check left it.
    typeInto("txtSetIP", "");
    leaveBy("txtMac0");
    QCOMPARE(m_boxes.messages.size(), 3);
    QCOMPARE(m_boxes.messages.last(), msg(kEmptySetIP));
    QCOMPARE(focusName(), QStringLiteral("txtSetIP"));
    QVERIFY(!valid);

    // Valid, then left twice unchanged: not a word, and the flag stays up.
    m_boxes.messages.clear();
    typeInto("txtSetIP", "192.168.1.20");
    leaveBy("txtMac0");
    QVERIFY(valid);
    QTest::mouseClick(field("txtSetIP"), Qt::LeftButton);
    leaveBy(kTab);
    QCOMPARE(m_boxes.messages, QStringList{});
    QVERIFY(valid);
    QCOMPARE(bytes(m_form->state().bytNewIP), QByteArray::fromHex("C0A80114"));
}

void TestFieldChecks::flagFallsOnlyAfterTheErrorBoxIsDismissed()
{
    QList<bool> flagWhileShown;
    m_boxes.onMessage = [&](const QString&) { flagWhileShown << m_form->state().blnIDValid; };
    typeInto("txtID", "1-2-3-4");
    leaveBy(kTab);
    QCOMPARE(m_boxes.messages, QStringList{msg(kWrongID)});
    QCOMPARE(flagWhileShown, QList<bool>{true});
    QVERIFY(!m_form->state().blnIDValid);
}

// Sending the focus back to an empty field takes it from the field the user clicked; when that
// one is empty too, its own check must not send the focus back again, and so on.
void TestFieldChecks::twoEmptyFieldsDoNotHandTheFocusToEachOtherForever()
{
    // Past a handful of boxes the fields are filled in, so a regression fails instead of
    // recursing until the stack runs out.
    m_boxes.onMessage = [&](const QString&) {
        if (m_boxes.messages.size() > 6) {
            field("txtCurIP")->setText("1.1.1.1");
            field("txtSetIP")->setText("2.2.2.2");
        }
    };
    m_form->setText(Field::SetIP, QString());
    typeInto("txtCurIP", "");
    leaveBy("txtSetIP");

    QCOMPARE(m_boxes.messages, QStringList{msg(kEmptyCurIP)});
    QCOMPARE(focusName(), QStringLiteral("txtCurIP"));
    QVERIFY(m_form->state().blnCurIPValid);
    QVERIFY(m_form->state().blnSetIPValid);
}

QTEST_MAIN(TestFieldChecks)
#include "tst_fieldchecks.moc"
