// The log window: its hide-only close protocol with the binding, clearing and saving its lines.
#include "BissCom.h"
#include "DebugWindow.h"
#include "ScreensTestSupport.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestDebugWindow : public QObject {
  Q_OBJECT

  std::unique_ptr<TCapturedMessages> Messages;

  static TDebugForm *Window(TBissCom &Com) { return dynamic_cast<TDebugForm *>(Com.DebugForm()); }

private slots:
  void initTestCase() { InstallDebugWindowFactory(); }
  void init() { Messages = std::make_unique<TCapturedMessages>(); }
  void cleanup() {
    TDebugForm::SetAskFileName(nullptr);
    Messages.reset();
  }

  void showDebugMakesTheWindow() {
    TBissCom com;
    com.ShowDebug();
    TDebugForm *window = Window(com);
    QVERIFY(window);
    QVERIFY(com.Logging);
    QVERIFY(window->isVisible());
    QVERIFY(window->HideOnly());
    QCOMPARE(window->windowTitle(), QStringLiteral("Debug tarnbus"));
    QCOMPARE(window->width(), 555);
    QCOMPARE(window->pos(), QPoint(0, 0));
    QCOMPARE(window->findChild<QPushButton *>(QStringLiteral("BClear"))->text(), QStringLiteral("&Löschen"));
    // A second ShowDebug while logging keeps the same window.
    com.ShowDebug();
    QCOMPARE(Window(com), window);
  }

  // Closing by the title bar or by the Close button ends logging and hides the window; the next
  // ShowDebug brings a fresh, empty one.
  void closeProtocol_data() {
    QTest::addColumn<bool>("byButton");
    QTest::newRow("title bar") << false;
    QTest::newRow("Close button") << true;
  }
  void closeProtocol() {
    QFETCH(bool, byButton);
    TBissCom com;
    com.ShowDebug();
    TDebugForm *first = Window(com);
    first->AddLine(QStringLiteral("12:00:00,000--> 10: 04 00 21 00 02 00"));
    auto *close = first->findChild<QPushButton *>(QStringLiteral("BClose"));
    if (byButton)
      QTest::mouseClick(close, Qt::LeftButton);
    else
      first->close();
    QVERIFY(!com.Logging);
    QVERIFY(!first->isVisible());
    QVERIFY(!first->HideOnly());
    QVERIFY(!close->isEnabled());

    com.ShowDebug();
    TDebugForm *second = Window(com);
    QVERIFY(second != first);
    QVERIFY(second->isVisible());
    QVERIFY(second->Lines().isEmpty());
    QVERIFY(com.Logging);
    QCOMPARE(first->Lines().size(), 1);  // the old window stays, hidden, until the binding goes
  }

  // A close request while the binding cannot take it (no hook) is refused: the window stays.
  void closeWithoutHookIsRefused() {
    TDebugForm window;
    window.show();
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());
    window.ForceClose();
    QVERIFY(!window.isVisible());
  }

  void bindingFreedWhileLogging() {
    auto com = std::make_unique<TBissCom>();
    com->ShowDebug();
    QPointer<TDebugForm> window = Window(*com);
    QVERIFY(window);
    com.reset();  // closes and frees the window without touching a freed binding
    QVERIFY(!window);
  }

  void clearAndSave() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TDebugForm window;
    window.AddLine(QStringLiteral("12:00:01,250<-- 20: 01 3A 00 10"));
    window.AddLine(QStringLiteral("Check: 11"));
    window.AddLine(QStringLiteral("Grundauflösung ä"));

    QString title, proposed;
    const QString target = dir.filePath(QStringLiteral("Debug.txt"));
    TDebugForm::SetAskFileName([&](QWidget *, const QString &Title, const QString &Default) {
      title = Title;
      proposed = Default;
      return target;
    });
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("BSave")), Qt::LeftButton);
    QCOMPARE(title, QStringLiteral("Save Debug Informations"));
    QCOMPARE(proposed, QStringLiteral("Debug.txt"));
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()),
             QStringLiteral("12:00:01,250<-- 20: 01 3A 00 10\nCheck: 11\nGrundauflösung ä\n"));
    file.close();

    // Cancelled: nothing is written.
    QFile::remove(target);
    TDebugForm::SetAskFileName([](QWidget *, const QString &, const QString &) { return QString(); });
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("BSave")), Qt::LeftButton);
    QVERIFY(!QFile::exists(target));
    QVERIFY(Messages->Boxes.isEmpty());

    // A place that cannot be written is reported, not passed over in silence.
    const QString bad = dir.filePath(QStringLiteral("missing/Debug.txt"));
    TDebugForm::SetAskFileName([&](QWidget *, const QString &, const QString &) { return bad; });
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("BSave")), Qt::LeftButton);
    QCOMPARE(Messages->Boxes.size(), 1);
    QVERIFY(Messages->Boxes[0].IsError);
    QVERIFY(Messages->Boxes[0].Text.contains(bad));

    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("BClear")), Qt::LeftButton);
    QVERIFY(window.Lines().isEmpty());
  }
};

QTEST_MAIN(TestDebugWindow)
#include "tst_debugwindow.moc"
