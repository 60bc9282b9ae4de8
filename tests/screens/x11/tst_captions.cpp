// The captions a desktop shows, read back from a real X server: exactly the windows' own texts,
// with nothing the toolkit adds.
#include "About.h"
#include "DebugWindow.h"
#include "RC_Config.h"
#include "RC_ConfigManual.h"
#include "RC_Register.h"
#include "ScreensTestSupport.h"
#include "WindowPlacement.h"

#include <QtTest>
#include <QtWidgets>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

// The window's _NET_WM_NAME as the X server holds it.
QString ShownCaption(QWidget *Window)
{
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11->connection();
    const char name[] = "_NET_WM_NAME";
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr);
    if (!atom)
        return QStringLiteral("(no atom)");
    xcb_get_property_reply_t *property =
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, static_cast<xcb_window_t>(Window->winId()),
                                                atom->atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
                               nullptr);
    std::free(atom);
    if (!property)
        return QStringLiteral("(no property)");
    const QString caption = QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(property)),
                                              xcb_get_property_value_length(property));
    std::free(property);
    return caption;
}

} // namespace

class TestCaptions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");
        SetUpApplication(); // as the program sets itself up
        InstallDebugWindowFactory();
    }

    void captionsAreTheWindowsOwnTexts()
    {
        ResetWorld();
        TCapturedMessages messages;
        TRC_Device device;
        QVERIFY(device.Catalogue->LoadFromFile(QCoreApplication::applicationDirPath() +
                                               QStringLiteral("/Encoder.cfg")));
        QVERIFY(device.ReopenAndConfig() && device.ReadRatingPlate() && device.ReadActualConfig());

        TRC_ConfigForm config(nullptr, QStringLiteral("1.1.6"), device);
        TRC_ConfigManualForm manual(nullptr, *device.Catalogue, 0);
        TRC_RegisterForm registers(nullptr, device);
        TAboutForm about(nullptr);
        device.Com->ShowDebug();
        auto *log = dynamic_cast<QWidget *>(device.Com->DebugForm());
        QVERIFY(log);
        const QList<QPair<QWidget *, QString>> windows{{&config, QStringLiteral("Rotaconf")},
                                                       {&manual, QStringLiteral("Manuelle Auswahl")},
                                                       {&registers, QStringLiteral("Register")},
                                                       {&about, QStringLiteral("About")},
                                                       {log, QStringLiteral("Debug tarnbus")}};
        for (const auto &[window, caption] : windows) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            QCOMPARE(ShownCaption(window), caption);
        }
        config.TimerCheckSame->stop();
    }
};

QTEST_MAIN(TestCaptions)
#include "tst_captions.moc"
