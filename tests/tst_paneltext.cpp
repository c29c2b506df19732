#include "panel/PanelText.h"

#include <QLocale>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

double localSeconds(QDate date, QTime time)
{
    return double(QDateTime(date, time, Qt::LocalTime).toMSecsSinceEpoch()) / 1000.0;
}

} // namespace

class TestPanelText : public QObject
{
    Q_OBJECT

private slots:
    void texts_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QString &shown, const char *expected) {
            QTest::newRow(name) << shown << QString::fromUtf8(expected);
        };
        row("hour 0", hourLabel(0), "12:00 AM");
        row("hour 11", hourLabel(11), "11:00 AM");
        row("hour 12", hourLabel(12), "12:00 PM");
        row("hour 13", hourLabel(13), "1:00 PM");
        row("hour 23", hourLabel(23), "11:00 PM");
        row("count 0", countPhrase(0), "0 screenshots");
        row("count 1", countPhrase(1), "1 screenshot");
        row("count 1234, no grouping", countPhrase(1234), "1234 screenshots");
        row("count -1", countPhrase(-1), "-1 screenshots");
        row("count max", countPhrase(std::numeric_limits<qint64>::max()),
            "9223372036854775807 screenshots");
        row("inside home", displayFolderPath("/home/a/Desktop", "/home/a"), "~/Desktop");
        row("home itself", displayFolderPath("/home/a", "/home/a"), "~");
        row("outside home", displayFolderPath("/srv/shots", "/home/a"), "/srv/shots");
        row("sibling prefix", displayFolderPath("/home/ab/x", "/home/a"), "/home/ab/x");
        row("home with slash", displayFolderPath("/home/a/x y", "/home/a/"), "~/x y");
        row("root home", displayFolderPath("/Desktop", "/"), "/Desktop");
        row("empty home", displayFolderPath("/Desktop", ""), "/Desktop");
    }
    void texts()
    {
        QFETCH(QString, shown);
        QFETCH(QString, expected);
        QCOMPARE(shown, expected);
    }

    // The test runs with TZ=UTC; now is 2026-12-06 15:30 local time.
    void dateTexts_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("date");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("next");
        const QString us = QStringLiteral("en_US");
        const double inf = std::numeric_limits<double>::infinity();
        const auto at = [](int day, QTime time) { return localSeconds({2026, 12, day}, time); };
        QTest::newRow("zero") << us << 0.0 << "Never"
                              << "Never";
        QTest::newRow("negative") << us << -5.0 << "Never"
                                  << "Never";
        QTest::newRow("nan") << us << std::nan("") << "Never"
                             << "Never";
        QTest::newRow("inf") << us << inf << "Never"
                             << "Never";
        QTest::newRow("beyond any date") << us << 1e300 << "Never"
                                         << "Never";
        QTest::newRow("today, just below the minute")
            << us << at(6, {15, 4, 59, 999}) + 0.0004 << "Today, 3:04 PM"
            << "Today, 3:04 PM";
        QTest::newRow("midnight today") << us << at(6, {0, 0}) << "Today, 12:00 AM"
                                        << "Today, 12:00 AM";
        QTest::newRow("yesterday") << us << at(5, {23, 59, 59}) << "Yesterday, 11:59 PM"
                                   << "Dec 5, 2026, 11:59 PM";
        QTest::newRow("tomorrow") << us << at(7, {0, 0}) << "Dec 7, 2026, 12:00 AM"
                                  << "Tomorrow, 12:00 AM";
        QTest::newRow("two days ago") << us << at(4, {9, 0}) << "Dec 4, 2026, 9:00 AM"
                                      << "Dec 4, 2026, 9:00 AM";
        QTest::newRow("a year ago")
            << us << localSeconds({2025, 12, 6}, {15, 4}) << "Dec 6, 2025, 3:04 PM"
            << "Dec 6, 2025, 3:04 PM";
        QTest::newRow("1970") << us << 1.0 << "Jan 1, 1970, 12:00 AM"
                              << "Jan 1, 1970, 12:00 AM";
        QTest::newRow("C") << "C" << at(4, {15, 4, 30}) << "4 Dec 2026, 15:04"
                           << "4 Dec 2026, 15:04";
        QTest::newRow("German") << "de_DE" << at(4, {15, 4}) << "4. Dez. 2026, 15:04"
                                << "4. Dez. 2026, 15:04";
    }
    void dateTexts()
    {
        QFETCH(QString, locale);
        QFETCH(double, date);
        QFETCH(QString, last);
        QFETCH(QString, next);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        const QDateTime now(QDate(2026, 12, 6), QTime(15, 30), Qt::LocalTime);
        const QString lastText = lastRunText(date, now);
        const QString nextText = nextRunText(date, now);
        QLocale::setDefault(saved);
        QCOMPARE(lastText, last);
        QCOMPARE(nextText, next);
    }
};

QTEST_GUILESS_MAIN(TestPanelText)
#include "tst_paneltext.moc"
