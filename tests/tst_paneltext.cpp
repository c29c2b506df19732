#include "panel/PanelText.h"
#include "platform/Translations.h"

#include <QLocale>
#include <QtTest>

// Seconds since 1970 of a UTC time, just below its next millisecond: a fraction must not round up.
static double at(const char *iso)
{
    return double(QDateTime::fromString(iso, Qt::ISODateWithMs).toMSecsSinceEpoch()) / 1000 + 4e-4;
}

// The texts the panel makes from settings values. The test runs with TZ=UTC.
class TestPanelText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installTranslations(QLocale::c(), false); }

    void hourLabels_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<qint64>("hour");
        QTest::addColumn<QString>("label");
        QTest::newRow("midnight is 12 AM") << "C" << qint64(0) << "12:00 AM";
        QTest::newRow("noon is 12 PM") << "C" << qint64(12) << "12:00 PM";
        QTest::newRow("the hour after noon is 1 PM") << "C" << qint64(13) << "1:00 PM";
        QTest::newRow("the German clock") << "de_DE" << qint64(15) << "15:00";
    }
    void hourLabels()
    {
        QFETCH(QString, locale);
        QFETCH(qint64, hour);
        QTEST(hourLabel(hour, QLocale(locale)), "label");
    }

    void countPhrases_data()
    {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("phrase");
        QTest::newRow("none is plural") << qint64(0) << "0 screenshots";
        QTest::newRow("one is singular") << qint64(1) << "1 screenshot";
        QTest::newRow("thousands are not grouped") << qint64(1234) << "1234 screenshots";
        QTest::newRow("the largest count")
            << std::numeric_limits<qint64>::max() << "9223372036854775807 screenshots";
        QTest::newRow("a negative count, from a hand-edited file")
            << qint64(-1) << "-1 screenshots";
    }
    void countPhrases()
    {
        QFETCH(qint64, count);
        QTEST(countPhrase(count), "phrase");
    }

    void folderPaths_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("shown");
        // clang-format off
        QTest::newRow("inside the home") << "/home/a/Desktop" << "/home/a" << "~/Desktop";
        QTest::newRow("the home itself") << "/home/a" << "/home/a" << "~";
        QTest::newRow("no home") << "/" << "" << "/";
        QTest::newRow("a sibling of the home") << "/home/ab/x" << "/home/a" << "/home/ab/x";
        QTest::newRow("a home with a slash") << "/home/a/x y" << "/home/a/" << "~/x y";
        QTest::newRow("the root as home") << "/Desktop" << "/" << "/Desktop"; // clang-format on
    }
    void folderPaths()
    {
        QFETCH(QString, folder);
        QFETCH(QString, home);
        QTEST(displayFolderPath(folder, home), "shown");
    }

    // Seen from 2026-12-06 15:30.
    void runDates_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("date"); // seconds since 1970
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("next");
        // clang-format off
        QTest::newRow("none recorded") << "en_US" << 0.0 << "Never" << "Never";
        QTest::newRow("beyond any date") << "en_US" << 1e300 << "Never" << "Never";
        QTest::newRow("today") << "en_US" << at("2026-12-06T15:04:59.999") << "Today, 3:04 PM"
                               << "Today, 3:04 PM";
        QTest::newRow("yesterday") << "en_US" << at("2026-12-05T23:59:59") << "Yesterday, 11:59 PM"
                                   << "Dec 5, 2026, 11:59 PM";
        QTest::newRow("tomorrow") << "en_US" << at("2026-12-07T00:00") << "Dec 7, 2026, 12:00 AM"
                                  << "Tomorrow, 12:00 AM";
        QTest::newRow("no seconds in the C locale") << "C" << at("2026-12-04T15:04:30")
                                                    << "4 Dec 2026, 15:04" << "4 Dec 2026, 15:04";
        QTest::newRow("in German") << "de_DE" << at("2026-12-04T15:04") << "4. Dez. 2026, 15:04"
                                   << "4. Dez. 2026, 15:04"; // clang-format on
    }
    void runDates()
    {
        QFETCH(QString, locale);
        QFETCH(double, date);
        const QDateTime now(QDate(2026, 12, 6), QTime(15, 30));
        QLocale::setDefault(QLocale(locale));
        const QString texts[] = {lastRunText(date, now), nextRunText(date, now)};
        QLocale::setDefault(QLocale::system());
        QTEST(texts[0], "last");
        QTEST(texts[1], "next");
    }
};

QTEST_GUILESS_MAIN(TestPanelText)
#include "tst_paneltext.moc"
