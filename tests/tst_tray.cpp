#include "TestSupport.h"

#include "agent/AgentInstaller.h"
#include "app/AppDelegate.h"
#include "app/PanelPresentation.h"
#include "app/PopupPlacement.h"
#include "app/PopupToggle.h"
#include "app/TrayMenu.h"
#include "cleanup/ScreenshotCleanup.h"
#include "panel/ContentView.h"
#include "panel/PanelModel.h"
#include "settings/AppSettings.h"

#include <QApplication>

using Action = PopupToggle::Action;
using Times = QList<double>;

// The tray's click rule and menu, the panel's placement and presentation, and the launch without
// a tray.
class TestTray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        setLogSink([](const QString &) {});
        m_home.emplace(); // before the shared settings are first made
    }

    // Clicks on the icon, and the panel closing by itself (on an outside press, which a press
    // on the icon also is), in time order; a close at a click's time comes first.
    void toggleRule_data()
    {
        QTest::addColumn<Times>("clicks");
        QTest::addColumn<Times>("selfCloses");
        QTest::addColumn<bool>("shownAtEnd");
        QTest::newRow("second click closes") << Times{10, 12} << Times{} << false;
        QTest::newRow("closed by the icon press") << Times{10, 12} << Times{12} << false;
        QTest::newRow("just after") << Times{10, 12.4} << Times{12} << true;
        QTest::newRow("clock went back") << Times{10, 12, 11} << Times{} << true;
    }
    void toggleRule()
    {
        QFETCH(Times, clicks);
        QFETCH(Times, selfCloses);
        FixedClock clock(0);
        PopupToggle toggle(clock);
        bool shown = false;
        while (!clicks.isEmpty()) {
            const bool closes = !selfCloses.isEmpty() && selfCloses.first() <= clicks.first();
            clock.set(closes ? selfCloses.takeFirst() : clicks.takeFirst());
            const Action action =
                closes ? (shown ? Action::Hide : Action::Nothing) : toggle.onActivated(shown);
            if (action == Action::Hide)
                toggle.noteHidden();
            shown = action == Action::Show || (shown && action == Action::Nothing);
        }
        QTEST(shown, "shownAtEnd");
    }

    void placement_data()
    {
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QPoint>("topLeft"); // of a 320 x 500 popup
        const QRect screen(0, 24, 1280, 776), small(0, 0, 900, 600), second(1280, 0, 1920, 1080);
        QTest::newRow("top right") << QRect(1250, 0, 24, 24) << screen << QPoint(960, 28);
        QTest::newRow("top left") << QRect(2, 0, 24, 24) << screen << QPoint(0, 28);
        QTest::newRow("above") << QRect(600, 560, 24, 24) << screen << QPoint(452, 56);
        QTest::newRow("no room") << QRect(600, 300, 24, 24) << small << QPoint(452, 100);
        QTest::newRow("screen 2") << QRect(3180, 0, 24, 24) << second << QPoint(2880, 28);
    }
    void placement()
    {
        QFETCH(QRect, anchor);
        QFETCH(QRect, screen);
        QTEST(popupPosition(anchor, QSize(320, 500), screen), "topLeft");
    }

    void presentation_data()
    {
        QTest::addColumn<QStringList>("p");
        QTest::addColumn<bool>("compositorPlaced");
        QTest::newRow("X11") << QStringList{"xcb", "x11", ""} << false;
        QTest::newRow("Wayland EGL") << QStringList{"wayland-egl", "", ""} << true;
        QTest::newRow("XWayland, session") << QStringList{"xcb", "wayland", ""} << true;
        QTest::newRow("XWayland, display") << QStringList{"xcb", "tty", "wayland-1"} << true;
        QTest::newRow("offscreen") << QStringList{"offscreen", "wayland", "wayland-0"} << false;
    }
    void presentation()
    {
        QFETCH(QStringList, p); // platform, session type, Wayland display
        QTEST(panelPresentation(p[0], p[1], p[2]) == PanelPresentation::CompositorPlacedWindow,
              "compositorPlaced");
    }

    // The menu mirrors the switch and offers put back only while a run's screenshots are in the
    // Trash, whoever made the change: the menu itself, or another process (a scheduled run),
    // seen through the settings file. Its "Enabled" is the panel's, so the schedule follows.
    void trayMenuFollowsTheSettings_data()
    {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("switched on and run from the menu") << true;
        QTest::newRow("switched on and run by another process") << false;
    }
    void trayMenuFollowsTheSettings()
    {
        QFETCH(bool, fromMenu);
        TestHome home;
        const QString desktop = home.home() + QStringLiteral("/Desktop");
        QVERIFY(QDir().mkpath(desktop) &&
                writeRaw(QFile::encodeName(desktop) + "/Screenshot 1.png"));
        AppSettings settings(home.settingsFile(), home.home()),
            other(home.settingsFile(), home.home());
        settings.setSourceFolder(desktop);
        FixedClock clock(double(QDateTime::currentSecsSinceEpoch()) + 10 * 86400.0);
        FakeProgram tool(home.home() + QStringLiteral("/agentctl"));
        PanelModel model(settings, clock);
        model.setAgentContext({home.configHome() + QStringLiteral("/agents"), tool.path()});
        TrayMenu menu(model);
        const QList<QAction *> items =
            menu.actions(); // Open, Run Now, Put Back, -, Enabled, -, Quit
        QAction *runNow = items.at(1), *putBack = items.at(2), *enabled = items.at(4);
        QVERIFY(!enabled->isChecked() && !putBack->isEnabled());
        if (fromMenu) {
            enabled->trigger();
            runNow->trigger();
        } else {
            other.setEnabled(true);
            runCleanup(other, clock);
        }
        QTRY_VERIFY(enabled->isChecked() && putBack->isEnabled());
        QCOMPARE(tool.calls().size(), fromMenu ? 1 : 0);
    }

    // Without a tray the panel gets a window: at once when the user starts the app, after the
    // tray's grace at login. Before that, the login item is brought in line with the setting.
    void launchWithoutTray_data()
    {
        QTest::addColumn<int>("trayWaitMs");
        QTest::addColumn<bool>("launchAtLogin");
        QTest::newRow("started by the user, who wants it at login") << 0 << true;
        QTest::newRow("started at login, no longer wanted there") << 1000 << false;
    }
    void launchWithoutTray()
    {
        QFETCH(int, trayWaitMs);
        QFETCH(bool, launchAtLogin);
        const QString entry =
            m_home->configHome() + QStringLiteral("/autostart/quillbrook.desktop");
        QFile::remove(entry); // the opposite of what the setting asks for
        QVERIFY(launchAtLogin ||
                (QDir().mkpath(QFileInfo(entry).path()) && writeRaw(QFile::encodeName(entry))));
        AppSettings::shared().setLaunchAtLogin(launchAtLogin);
        AppDelegate delegate{std::chrono::milliseconds(trayWaitMs)};
        delegate.applicationDidFinishLaunching();
        QCOMPARE(QFile::exists(entry), launchAtLogin);
        QCOMPARE(panels(), trayWaitMs ? 0 : 1);
        QTRY_COMPARE_WITH_TIMEOUT(panels(), 1, 10000);
        delegate.togglePopover(); // nothing to act on: no second panel
        QCOMPARE(panels(), 1);
    }

private:
    static qsizetype panels()
    {
        const QWidgetList all = QApplication::topLevelWidgets();
        return std::count_if(all.begin(), all.end(), [](QWidget *w) {
            return w->isVisible() && w->findChild<ContentView *>();
        });
    }

    std::optional<TestHome> m_home;
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
