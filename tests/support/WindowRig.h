#pragma once

#include "support/FakePrinter.h"
#include "support/ShownWindow.h"
#include "support/TestAddresses.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

constexpr int kWireMs = 5000; // bound for a connection and its bytes over the loopback

inline QString msg(const char* text)
{
    return QString::fromLatin1(text);
}

// The real window driven by mouse and keyboard, its boxes recorded, a fake printer to listen.
struct WindowRig : ShownWindow {
    FakePrinter printer;
    QTemporaryDir folder;

    WindowRig()
    {
        form.commands().setProgramFolder(folder.path());
        (void)QTest::qWaitForWindowActive(&form); // typeInto() fails if it never was
    }

    bool listen() { return printer.listen(QHostAddress(TestAddresses::kPrinter)); }
    template <class T = QLineEdit> T* child(const QString& name) { return get<T>(name); }
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
};
