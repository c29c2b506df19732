#include "panel/PanelText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestPanelText : public QObject
{
    Q_OBJECT

private slots:
    void hourLabels_data()
    {
        QTest::addColumn<qint64>("hour");
        QTest::addColumn<QString>("label");
        QTest::newRow("midnight") << qint64(0) << QStringLiteral("12:00 AM");
        QTest::newRow("1") << qint64(1) << QStringLiteral("1:00 AM");
        QTest::newRow("11") << qint64(11) << QStringLiteral("11:00 AM");
        QTest::newRow("noon") << qint64(12) << QStringLiteral("12:00 PM");
        QTest::newRow("13") << qint64(13) << QStringLiteral("1:00 PM");
        QTest::newRow("23") << qint64(23) << QStringLiteral("11:00 PM");
    }
    void hourLabels()
    {
        QFETCH(qint64, hour);
        QFETCH(QString, label);
        QCOMPARE(hourLabel(hour), label);
    }

    void countPhrases_data()
    {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("phrase");
        QTest::newRow("0") << qint64(0) << QStringLiteral("0 screenshots");
        QTest::newRow("1") << qint64(1) << QStringLiteral("1 screenshot");
        QTest::newRow("2") << qint64(2) << QStringLiteral("2 screenshots");
        QTest::newRow("no grouping") << qint64(1234) << QStringLiteral("1234 screenshots");
        QTest::newRow("largest") << std::numeric_limits<qint64>::max()
                                 << QStringLiteral("9223372036854775807 screenshots");
        QTest::newRow("negative") << qint64(-1) << QStringLiteral("-1 screenshots");
    }
    void countPhrases()
    {
        QFETCH(qint64, count);
        QFETCH(QString, phrase);
        QCOMPARE(countPhrase(count), phrase);
    }

    void displayPaths_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("shown");
        QTest::newRow("inside home") << "/Users/a/Desktop"
                                     << "/Users/a"
                                     << "~/Desktop";
        QTest::newRow("home itself") << "/Users/a"
                                     << "/Users/a"
                                     << "~";
        QTest::newRow("outside") << "/Volumes/Shots"
                                 << "/Users/a"
                                 << "/Volumes/Shots";
        // A sibling that merely shares the text prefix is not inside the home folder.
        QTest::newRow("sibling prefix") << "/Users/ab/Pictures"
                                        << "/Users/a"
                                        << "/Users/ab/Pictures";
        QTest::newRow("home with slash") << "/Users/a/Desktop"
                                         << "/Users/a/"
                                         << "~/Desktop";
        QTest::newRow("deep") << "/home/u/x/y z"
                              << "/home/u"
                              << "~/x/y z";
        QTest::newRow("root home") << "/Desktop"
                                   << "/"
                                   << "/Desktop";
        QTest::newRow("empty home") << "/Desktop"
                                    << ""
                                    << "/Desktop";
    }
    void displayPaths()
    {
        QFETCH(QString, folder);
        QFETCH(QString, home);
        QFETCH(QString, shown);
        QCOMPARE(displayFolderPath(folder, home), shown);
    }

    void nearestFolders_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("expected");
        QTest::newRow("existing") << "shots"
                                  << "shots";
        QTest::newRow("missing child") << "shots/gone"
                                       << "shots";
        QTest::newRow("missing deep") << "shots/gone/deeper/still"
                                      << "shots";
        QTest::newRow("a file") << "shots/file.png"
                                << "shots";
        QTest::newRow("trailing slash") << "shots/"
                                        << "shots";
    }
    void nearestFolders()
    {
        QFETCH(QString, relative);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("shots")));
        QFile file(dir.filePath(QStringLiteral("shots/file.png")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(nearestExistingFolder(dir.path() + QLatin1Char('/') + relative),
                 dir.path() + QLatin1Char('/') + expected);
    }

    void nearestFolderNeedsAbsolutePath()
    {
        QCOMPARE(nearestExistingFolder(QStringLiteral("relative/path")), QString());
        QCOMPARE(nearestExistingFolder(QString()), QString());
        QCOMPARE(nearestExistingFolder(QStringLiteral("/no-such-top-folder/x")),
                 QStringLiteral("/"));
    }
};

QTEST_GUILESS_MAIN(TestPanelText)
#include "tst_paneltext.moc"
