#include "agentctl/AgentJob.h"
#include "agent/AgentPlist.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QVariantMap document(Frequency frequency = Frequency::Daily, qint64 hour = 3)
{
    return makeAgentPlist(frequency, hour, u"/usr/bin/quillbrook"_s);
}

QVariantMap with(QVariantMap map, const QString &key, const QVariant &value)
{
    if (value.isValid())
        map.insert(key, value);
    else
        map.remove(key);
    return map;
}

QVariantMap withCalendar(const QVariant &calendar)
{
    return with(document(), u"StartCalendarInterval"_s, calendar);
}

QVariantMap calendar(std::initializer_list<std::pair<const char *, QVariant>> entries)
{
    QVariantMap map;
    for (const auto &[key, value] : entries)
        map.insert(QString::fromLatin1(key), value);
    return map;
}

} // namespace

class TestAgentJob : public QObject
{
    Q_OBJECT

private slots:
    void calendars_data();
    void calendars();
    void rejects_data();
    void rejects();
};

void TestAgentJob::calendars_data()
{
    QTest::addColumn<QVariantMap>("plist");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("hourly") << document(Frequency::Hourly, 17) << QStringList{u"*-*-* *:00:00"_s};
    QTest::newRow("daily") << document(Frequency::Daily, 3) << QStringList{u"*-*-* 03:00:00"_s};
    QTest::newRow("daily, last hour")
        << document(Frequency::Daily, 23) << QStringList{u"*-*-* 23:00:00"_s};
    QTest::newRow("weekly") << document(Frequency::Weekly, 17)
                            << QStringList{u"Sun *-*-* 17:00:00"_s};
    QTest::newRow("weekday 7 is Sunday too")
        << withCalendar(calendar({{"Weekday", qint64(7)}, {"Hour", qint64(0)}}))
        << QStringList{u"Sun *-*-* 00:*:00"_s};
    QTest::newRow("empty interval: every minute")
        << withCalendar(QVariantMap()) << QStringList{u"*-*-* *:*:00"_s};
    QTest::newRow("day and month")
        << withCalendar(
               calendar({{"Month", qint64(12)}, {"Day", qint64(31)}, {"Minute", qint64(5)}}))
        << QStringList{u"*-12-31 *:05:00"_s};
    QTest::newRow("array of intervals")
        << withCalendar(QVariantList{calendar({{"Weekday", qint64(3)}}),
                                     calendar({{"Hour", qint64(9)}, {"Minute", qint64(30)}})})
        << QStringList{u"Wed *-*-* *:*:00"_s, u"*-*-* 09:30:00"_s};
    QTest::newRow("RunAtLoad may be left out")
        << with(document(), u"RunAtLoad"_s, QVariant()) << QStringList{u"*-*-* 03:00:00"_s};
}

void TestAgentJob::calendars()
{
    QFETCH(QVariantMap, plist);
    QFETCH(QStringList, expected);
    QString error;
    const std::optional<AgentJob> job = agentJobFromPlist(plist, &error);
    QVERIFY2(job, qPrintable(error));
    QCOMPARE(job->calendars, expected);
    QCOMPARE(job->label, QString::fromLatin1(AgentLabel));
    QCOMPARE(job->programArguments, QStringList({u"/usr/bin/quillbrook"_s, u"--headless"_s}));
}

void TestAgentJob::rejects_data()
{
    QTest::addColumn<QVariantMap>("plist");
    QTest::addColumn<QString>("reason");

    QTest::newRow("hour 24") << document(Frequency::Daily, 24) << u"Hour 24 is outside 0-23"_s;
    QTest::newRow("hour -1") << document(Frequency::Weekly, -1) << u"Hour -1"_s;
    QTest::newRow("minute 60") << withCalendar(calendar({{"Minute", qint64(60)}})) << u"Minute"_s;
    QTest::newRow("weekday 8") << withCalendar(calendar({{"Weekday", qint64(8)}})) << u"Weekday"_s;
    QTest::newRow("day 0") << withCalendar(calendar({{"Day", qint64(0)}})) << u"Day"_s;
    QTest::newRow("month 13") << withCalendar(calendar({{"Month", qint64(13)}})) << u"Month"_s;
    QTest::newRow("day with weekday")
        << withCalendar(calendar({{"Day", qint64(1)}, {"Weekday", qint64(1)}}))
        << u"Day and Weekday"_s;
    QTest::newRow("hour as text") << withCalendar(calendar({{"Hour", u"3"_s}})) << u"integer"_s;
    QTest::newRow("hour as boolean") << withCalendar(calendar({{"Hour", true}})) << u"integer"_s;
    QTest::newRow("unknown interval key")
        << withCalendar(calendar({{"Second", qint64(0)}})) << u"\"Second\""_s;
    QTest::newRow("empty interval array") << withCalendar(QVariantList()) << u"empty"_s;
    QTest::newRow("interval not a dictionary") << withCalendar(qint64(3)) << u"dictionary"_s;
    QTest::newRow("no schedule") << with(document(), u"StartCalendarInterval"_s, QVariant())
                                 << u"missing"_s;
    QTest::newRow("unknown key") << with(document(), u"KeepAlive"_s, true) << u"\"KeepAlive\""_s;
    QTest::newRow("RunAtLoad true") << with(document(), u"RunAtLoad"_s, true) << u"RunAtLoad"_s;
    QTest::newRow("RunAtLoad as text")
        << with(document(), u"RunAtLoad"_s, u"false"_s) << u"RunAtLoad"_s;
    for (const QString &label : {u""_s, u"../evil"_s, u"a/b"_s, u"tmpl@x"_s, u"-flag"_s, u"a b"_s,
                                 u"label\n"_s, QString(201, u'a')}) {
        QTest::addRow("label \"%s\"", qPrintable(label.left(20)))
            << with(document(), u"Label"_s, label) << u"Label"_s;
    }
    QTest::newRow("label missing") << with(document(), u"Label"_s, QVariant()) << u"Label"_s;
    QTest::newRow("no arguments") << with(document(), u"ProgramArguments"_s, QVariantList())
                                  << u"ProgramArguments"_s;
    QTest::newRow("relative program")
        << with(document(), u"ProgramArguments"_s, QVariantList{u"quillbrook"_s}) << u"absolute"_s;
    QTest::newRow("argument not text")
        << with(document(), u"ProgramArguments"_s, QVariantList{u"/bin/q"_s, qint64(1)})
        << u"strings"_s;
    QTest::newRow("newline in an argument")
        << with(document(), u"ProgramArguments"_s, QVariantList{u"/bin/q"_s, u"a\nb"_s})
        << u"control"_s;
    QTest::newRow("relative output")
        << with(document(), u"StandardOutPath"_s, u"quillbrook.log"_s) << u"StandardOutPath"_s;
    QTest::newRow("output path with ..")
        << with(document(), u"StandardErrorPath"_s, u"/tmp/../q.err"_s) << u"\"..\""_s;
    QTest::newRow("output path ending in a blank")
        << with(document(), u"StandardOutPath"_s, u"/tmp/q "_s) << u"blank"_s;
    QTest::newRow("output path ending in a backslash")
        << with(document(), u"StandardOutPath"_s, u"/tmp/q\\"_s) << u"backslash"_s;
}

void TestAgentJob::rejects()
{
    QFETCH(QVariantMap, plist);
    QFETCH(QString, reason);
    QString error;
    QVERIFY(!agentJobFromPlist(plist, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestAgentJob)
#include "tst_agentjob.moc"
