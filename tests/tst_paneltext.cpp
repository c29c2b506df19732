#include "panel/PanelText.h"

#include <QLocale>
#include <QTest>

#include <cmath>

class TestPanelText : public QObject
{
    Q_OBJECT

private slots:
    void texts_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("expected");
        const QString max = countPhrase(std::numeric_limits<qint64>::max());
        // clang-format off
        for (const auto &[shown, expected] : std::initializer_list<std::pair<QString, const char *>>{
                 {hourLabel(0), "12:00 AM"}, {hourLabel(11), "11:00 AM"}, {hourLabel(12), "12:00 PM"},
                 {hourLabel(13), "1:00 PM"}, {hourLabel(23), "11:00 PM"}, {countPhrase(0), "0 screenshots"},
                 {countPhrase(1), "1 screenshot"}, {countPhrase(1234), "1234 screenshots"},
                 {countPhrase(-1), "-1 screenshots"}, {max, "9223372036854775807 screenshots"},
                 {displayFolderPath("/home/a/Desktop", "/home/a"), "~/Desktop"},
                 {displayFolderPath("/home/a", "/home/a"), "~"},
                 {displayFolderPath("/srv/shots", "/home/a"), "/srv/shots"},
                 {displayFolderPath("/home/ab/x", "/home/a"), "/home/ab/x"},
                 {displayFolderPath("/home/a/x y", "/home/a/"), "~/x y"},
                 {displayFolderPath("/Desktop", "/"), "/Desktop"},
                 {displayFolderPath("/Desktop", ""), "/Desktop"}}) // clang-format on
            QTest::newRow(expected) << shown << QString::fromUtf8(expected);
    }
    void texts()
    {
        QFETCH(QString, shown);
        QFETCH(QString, expected);
        QCOMPARE(shown, expected);
    }

    // The test runs with TZ=UTC; now is 2026-12-06 15:30.
    void dateTexts_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("date"); // ISO, or a number of seconds since 1970
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("next");
        // clang-format off
        for (const char *row : {
                 "en_US|0|Never|Never", "en_US|-5|Never|Never", "en_US|nan|Never|Never",
                 "en_US|inf|Never|Never", "en_US|1e300|Never|Never",
                 "en_US|2026-12-06T15:04:59.999|Today, 3:04 PM|Today, 3:04 PM",
                 "en_US|2026-12-06T00:00|Today, 12:00 AM|Today, 12:00 AM",
                 "en_US|2026-12-05T23:59:59|Yesterday, 11:59 PM|Dec 5, 2026, 11:59 PM",
                 "en_US|2026-12-07T00:00|Dec 7, 2026, 12:00 AM|Tomorrow, 12:00 AM",
                 "en_US|2026-12-04T09:00|Dec 4, 2026, 9:00 AM|Dec 4, 2026, 9:00 AM",
                 "en_US|2025-12-06T15:04|Dec 6, 2025, 3:04 PM|Dec 6, 2025, 3:04 PM",
                 "en_US|1|Jan 1, 1970, 12:00 AM|Jan 1, 1970, 12:00 AM",
                 "C|2026-12-04T15:04:30|4 Dec 2026, 15:04|4 Dec 2026, 15:04",
                 "de_DE|2026-12-04T15:04|4. Dez. 2026, 15:04|4. Dez. 2026, 15:04"}) { // clang-format on
            const QStringList parts = QString::fromUtf8(row).split('|');
            QTest::newRow(row) << parts[0] << parts[1] << parts[2] << parts[3];
        }
    }
    void dateTexts()
    {
        QFETCH(QString, locale);
        QFETCH(QString, date);
        QFETCH(QString, last);
        QFETCH(QString, next);
        const QDateTime iso = QDateTime::fromString(date, Qt::ISODateWithMs);
        // Just below the next minute: a fraction of a millisecond must not round up.
        const double seconds =
            iso.isValid() ? double(iso.toMSecsSinceEpoch()) / 1000.0 + 0.0004 : date.toDouble();
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        const QDateTime now(QDate(2026, 12, 6), QTime(15, 30));
        const QStringList texts = {lastRunText(seconds, now), nextRunText(seconds, now)};
        QLocale::setDefault(saved);
        QCOMPARE(texts, (QStringList{last, next}));
    }
};

QTEST_GUILESS_MAIN(TestPanelText)
#include "tst_paneltext.moc"
