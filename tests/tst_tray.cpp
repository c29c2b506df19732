#include "FixedClock.h"

#include "app/PopupPlacement.h"
#include "app/PopupToggle.h"

#include <QTest>

using Action = PopupToggle::Action;
Q_DECLARE_METATYPE(Action)

namespace {

// One step of a click sequence: at @c time, either the popup hides by itself (an outside
// press, which a click on the tray icon also is) or the icon reports an activation.
struct Step
{
    double time;
    bool hides;
};

} // namespace

class TestTray : public QObject
{
    Q_OBJECT

private slots:
    // Each row plays clicks against a popup whose visibility follows the actions, and checks
    // the popup's state at the end.
    void toggleRule_data()
    {
        QTest::addColumn<QList<double>>("activations");
        QTest::addColumn<QList<double>>("selfCloses");
        QTest::addColumn<bool>("shownAtEnd");

        QTest::newRow("first click opens") << QList<double>{10.0} << QList<double>{} << true;
        QTest::newRow("second click closes")
            << QList<double>{10.0, 12.0} << QList<double>{} << false;
        QTest::newRow("third click opens")
            << QList<double>{10.0, 12.0, 14.0} << QList<double>{} << true;
        // The press on the icon closes the popup first; its activation must not reopen it.
        QTest::newRow("popup closed by the icon press")
            << QList<double>{10.0, 12.01} << QList<double>{12.0} << false;
        // Trigger and DoubleClick for a quick second click, the popup closing on the press.
        QTest::newRow("double click, popup closed by press")
            << QList<double>{10.0, 10.25, 10.251} << QList<double>{10.249} << false;
        // Trigger and DoubleClick where the tray's press does not reach the popup.
        QTest::newRow("double click, no self close")
            << QList<double>{10.0, 10.25, 10.251} << QList<double>{} << false;
        QTest::newRow("outside click, then icon later")
            << QList<double>{10.0, 13.0} << QList<double>{12.0} << true;
        QTest::newRow("activation just after the window")
            << QList<double>{10.0, 12.0 + PopupToggle::closeWindowSeconds} << QList<double>{12.0}
            << true;
    }
    void toggleRule()
    {
        QFETCH(QList<double>, activations);
        QFETCH(QList<double>, selfCloses);
        QFETCH(bool, shownAtEnd);

        FixedClock clock(0);
        PopupToggle toggle(clock);
        bool shown = false;

        // Merge the two event lists in time order; a self close at the same time comes first.
        QList<Step> steps;
        for (double t : selfCloses)
            steps.append({t, true});
        for (double t : activations)
            steps.append({t, false});
        std::stable_sort(steps.begin(), steps.end(),
                         [](const Step &a, const Step &b) { return a.time < b.time; });

        for (const Step &step : steps) {
            clock.set(step.time);
            if (step.hides) {
                if (shown) {
                    shown = false;
                    toggle.noteHidden();
                }
                continue;
            }
            switch (toggle.onActivated(shown)) {
            case Action::Show:
                shown = true;
                break;
            case Action::Hide:
                shown = false;
                toggle.noteHidden();
                break;
            case Action::Nothing:
                break;
            }
        }
        QCOMPARE(shown, shownAtEnd);
    }

    void clockGoingBackDoesNotBlock()
    {
        FixedClock clock(100);
        PopupToggle toggle(clock);
        toggle.noteHidden();
        clock.set(50);
        QCOMPARE(toggle.onActivated(false), Action::Show);
    }

    void placement_data()
    {
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QSize>("popup");
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QPoint>("topLeft");

        const QRect screen(0, 24, 1280, 776); // a 24 px top panel on 1280 x 800
        const QSize popup(320, 500);
        QTest::newRow("top panel, centred below")
            << QRect(600, 0, 24, 24) << popup << screen << QPoint(452, 28);
        QTest::newRow("top right corner, kept on screen")
            << QRect(1250, 0, 24, 24) << popup << screen << QPoint(960, 28);
        QTest::newRow("top left corner, kept on screen")
            << QRect(2, 0, 24, 24) << popup << screen << QPoint(0, 28);
        QTest::newRow("bottom panel, above")
            << QRect(600, 776, 24, 24) << popup << QRect(0, 0, 1280, 776) << QPoint(452, 272);
        QTest::newRow("taller than the room either way, clamped")
            << QRect(600, 300, 24, 24) << QSize(320, 700) << screen << QPoint(452, 100);
        QTest::newRow("unknown place, mouse point")
            << QRect(700, 10, 1, 1) << popup << screen << QPoint(540, 24);
        QTest::newRow("second screen")
            << QRect(3180, 0, 24, 24) << popup << QRect(1280, 0, 1920, 1080) << QPoint(2880, 28);
    }
    void placement()
    {
        QFETCH(QRect, anchor);
        QFETCH(QSize, popup);
        QFETCH(QRect, screen);
        QFETCH(QPoint, topLeft);
        const QPoint placed = popupPosition(anchor, popup, screen);
        QCOMPARE(placed, topLeft);
        QVERIFY(screen.contains(QRect(placed, popup)));
    }
};

QTEST_GUILESS_MAIN(TestTray)
#include "tst_tray.moc"
