#pragma once

#include "app/Form1.h"
#include "support/FakePrinter.h"
#include "support/RecordingBoxes.h"
#include "support/TestAddresses.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

constexpr int kWireMs = 5000; // bound for a connection and its bytes over the loopback

inline QString msg(const char* text)
{
    return QString::fromUtf8(text);
}

// The real window, shown and active, driven by mouse and keyboard; its boxes answered by the
// test, its data file folder a fresh one, and a fake printer to listen at the default address.
struct WindowRig {
    RecordingBoxes boxes;
    Form1 form;
    FakePrinter printer;
    QTemporaryDir folder;

    WindowRig()
    {
        form.setMessageBoxes(&boxes);
        form.commands().setProgramFolder(folder.path());
        form.show();
        form.activateWindow();
        (void)QTest::qWaitForWindowActive(&form); // typeInto() fails if it never was
    }

    bool listen() { return printer.listen(QHostAddress(TestAddresses::kPrinter)); }
    template <class T = QLineEdit> T* child(const QString& name)
    {
        return form.findChild<T*>(name);
    }
    QPushButton* button(const QString& name) { return child<QPushButton>(name); }
    static QString focusName()
    {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    }

    // The hidden group is shown only here, with the window made tall enough to hold it.
    void click(const QString& name)
    {
        auto* widget = child<QWidget>(name);
        QVERIFY2(widget, qPrintable(name));
        if (!widget->isVisible()) {
            form.setFixedSize(519, 470);
            for (QWidget* child : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                child->show();
        }
        QTest::mouseClick(widget, Qt::LeftButton);
    }

    // Clicks into the field, which selects its text, and replaces that text by typing.
    void typeInto(const QString& name, const QString& text)
    {
        click(name);
        QCOMPARE(QApplication::focusWidget(), child(name));
        QTest::keyClick(child(name), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(child(name), Qt::Key_Delete);
        QTest::keyClicks(child(name), text);
        QCOMPARE(child(name)->text(), text);
    }

    // Closes the connection as the next command would, so nothing can follow the bytes compared.
    bool closeAndWait(int connection)
    {
        form.link().closeSocket();
        return QTest::qWaitFor([&] { return printer.closedByClient(connection); }, kWireMs);
    }
};
