// The log window: its hide-only close protocol with the binding, clearing and saving its lines.
#include "BissCom.h"
#include "DebugWindow.h"
#include "ScreensTestSupport.h"

#include <QtTest>
#include <QtWidgets>

class TestDebugWindow : public QObject {
    Q_OBJECT

    static TDebugForm *Window(TBissCom &Com) { return dynamic_cast<TDebugForm *>(Com.DebugForm()); }
    static void Click(TDebugForm *Window, const char *Button)
    {
        QTest::mouseClick(Window->findChild<QPushButton *>(QLatin1String(Button)), Qt::LeftButton);
    }

private slots:
    void initTestCase() { InstallDebugWindowFactory(); }
    void cleanup() { TDebugForm::SetAskFileName(nullptr); }

    // Closing by the title bar or the Close button ends logging and hides the window; the next
    // ShowDebug brings a fresh, empty one.
    void closeProtocol_data()
    {
        QTest::addColumn<bool>("byButton");
        QTest::newRow("title bar") << false;
        QTest::newRow("Close button") << true;
    }
    void closeProtocol()
    {
        QFETCH(bool, byButton);
        TBissCom com;
        com.ShowDebug();
        TDebugForm *first = Window(com);
        QVERIFY(first && first->isVisible() && com.Logging);
        QCOMPARE(first->windowTitle(), QStringLiteral("Debug tarnbus"));
        QCOMPARE(first->width(), 555);
        first->AddLine(QStringLiteral("12:00:00,000--> 10: 04 00 21 00 02 00"));
        if (byButton)
            Click(first, "BClose");
        else
            first->close();
        QVERIFY(!com.Logging);
        QVERIFY(!first->isVisible());

        com.ShowDebug();
        TDebugForm *second = Window(com);
        QVERIFY(second != first && second->isVisible() && com.Logging);
        QVERIFY(second->Lines().isEmpty());
        QCOMPARE(first->Lines().size(), 1); // the old window stays, hidden, until the binding goes
    }

    void clearAndSave()
    {
        TCapturedMessages messages;
        QTemporaryDir dir;
        TDebugForm window;
        window.AddLine(QStringLiteral("12:00:01,250<-- 20: 01 3A 00 10"));
        window.AddLine(QStringLiteral("Grundauflösung ä"));

        QString title, proposed;
        QString target = dir.filePath(QStringLiteral("Debug.txt"));
        TDebugForm::SetAskFileName([&](QWidget *, const QString &Title, const QString &Default) {
            title = Title;
            proposed = Default;
            return target;
        });
        Click(&window, "BSave");
        QCOMPARE(title, QStringLiteral("Save Debug Informations"));
        QCOMPARE(proposed, QStringLiteral("Debug.txt"));
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()),
                 QStringLiteral("12:00:01,250<-- 20: 01 3A 00 10\nGrundauflösung ä\n"));

        // A place that cannot be written is reported.
        target = dir.filePath(QStringLiteral("missing/Debug.txt"));
        Click(&window, "BSave");
        QCOMPARE(messages.Boxes.size(), 1);
        QVERIFY(messages.Boxes[0].IsError && messages.Boxes[0].Text.contains(target));

        Click(&window, "BClear");
        QVERIFY(window.Lines().isEmpty());
    }
};

QTEST_MAIN(TestDebugWindow)
#include "tst_debugwindow.moc"
