#include "TestSupport.h"

#include "app/AppDelegate.h"
#include "app/PanelPresentation.h"
#include "app/PopupPlacement.h"
#include "app/PopupToggle.h"
#include "panel/ContentView.h"

#include <QApplication>

using Action = PopupToggle::Action;
using Times = QList<double>;

// The tray's click rule, the panel's placement and presentation, and its window without a tray.
class TestTray : public QObject
{
    Q_OBJECT

private slots:
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

    void withoutTrayThePanelGetsAWindow()
    {
        setLogSink([](const QString &) {});
        for (int waitMs : {0, 1000}) { // started by the user; at login, the tray given a while
            TestHome home;
            AppDelegate delegate{std::chrono::milliseconds(waitMs)};
            delegate.applicationDidFinishLaunching();
            QCOMPARE(panels(), waitMs ? 0 : 1);
            QTRY_COMPARE_WITH_TIMEOUT(panels(), 1, 10000);
            delegate.togglePopover(); // nothing to act on: no second panel
            QCOMPARE(panels(), 1);
        }
    }

private:
    static qsizetype panels()
    {
        const QWidgetList all = QApplication::topLevelWidgets();
        return std::count_if(all.begin(), all.end(), [](QWidget *w) {
            return w->isVisible() && w->findChild<ContentView *>();
        });
    }
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
