#include "TestHome.h"

#include "app/AppDelegate.h"
#include "panel/ContentView.h"
#include "platform/Log.h"

#include <QApplication>
#include <QFile>
#include <QSystemTrayIcon>
#include <QTest>

#include <memory>

// The offscreen platform has no system tray, which is the case this covers.
class TestTrayFallback : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_home = std::make_unique<TestHome>();
        setLogSink([](const QString &) {});
    }

    void cleanupTestCase()
    {
        setLogSink({});
        m_home.reset();
    }

    void withoutTrayThePanelGetsAWindow()
    {
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        AppDelegate delegate;
        delegate.applicationDidFinishLaunching();

        QWidget *window = nullptr;
        for (QWidget *candidate : QApplication::topLevelWidgets()) {
            if (candidate->isVisible() && candidate->findChild<ContentView *>())
                window = candidate;
        }
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("Quillbrook"));
        QCOMPARE(window->width(), 320);
        QCOMPARE(window->windowType(), Qt::Window);

        // An empty settings store means launch at login: the autostart entry is written.
        QVERIFY(
            QFile::exists(m_home->configHome() + QStringLiteral("/autostart/quillbrook.desktop")));

        // The tray's toggle has nothing to act on and must not show a second panel.
        delegate.togglePopover();
        QCOMPARE(visiblePanels(), 1);
    }

    void atLoginTheWindowWaitsForTheTray()
    {
        using namespace std::chrono_literals;
        AppDelegate delegate(1s);
        delegate.applicationDidFinishLaunching();
        QCOMPARE(visiblePanels(), 0);
        // No tray came: the panel must not stay invisible.
        QTRY_COMPARE_WITH_TIMEOUT(visiblePanels(), 1, 10000);
    }

private:
    static int visiblePanels()
    {
        int panels = 0;
        for (QWidget *candidate : QApplication::topLevelWidgets())
            panels += candidate->isVisible() && candidate->findChild<ContentView *>() ? 1 : 0;
        return panels;
    }

    std::unique_ptr<TestHome> m_home;
};

QTEST_MAIN(TestTrayFallback)
#include "tst_trayfallback.moc"
