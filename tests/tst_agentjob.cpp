#include "agent/AgentPlist.h"
#include "agentctl/AgentJob.h"
#include "agentctl/PlistReader.h"

#include <QTest>

#include <climits>

using namespace Qt::StringLiterals;

namespace {

QByteArray plist(const QByteArray &body)
{
    return "<?xml version=\"1.0\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">" +
           body + "</plist>\n";
}

QByteArray nested(int depth)
{
    return plist(QByteArray("<array>").repeated(depth) + QByteArray("</array>").repeated(depth));
}

// The daily document with @p key set to @p value, or removed when @p value is invalid.
QVariantMap with(const QString &key, const QVariant &value)
{
    QVariantMap map = makeAgentPlist(Frequency::Daily, 3, u"/usr/bin/quillbrook"_s);
    map.remove(key);
    if (value.isValid())
        map.insert(key, value);
    return map;
}

QVariantMap at(const QString &interval) // "Hour=9 Minute=0"; a value not a number stays text
{
    QVariantMap map;
    for (const QString &field : interval.split(u' ', Qt::SkipEmptyParts)) {
        bool number = false;
        const qint64 value = field.section(u'=', 1).toLongLong(&number);
        map.insert(field.section(u'=', 0, 0), number ? QVariant(value) : field.section(u'=', 1));
    }
    return with(u"StartCalendarInterval"_s, map);
}

} // namespace

// What the scheduler tool reads: the property list, strictly, then the job it describes.
class TestAgentJob : public QObject
{
    Q_OBJECT

private slots:
    void reads_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QVariant>("expected"); // invalid: refused
        const auto row = [](const QByteArray &doc, const QVariant &expected = {}) {
            QTest::addRow("%s", doc.right(50).toPercentEncoding().constData()) << doc << expected;
        };
        row(plist("<integer> -9223372036854775808\n</integer>"), LLONG_MIN);
        row(plist("<!-- c --><integer>9223372036854775807</integer>"), LLONG_MAX);
        row(nested(PlistMaxDepth), [] {
            QVariant value = QVariantList();
            for (int level = 1; level < PlistMaxDepth; ++level)
                value = QVariantList{value};
            return value;
        }());
        // Bodies inside <plist>, one per "|".
        for (const QByteArray &body :
             QByteArray(
                 "|<dict/><dict/>|<dict>|<real>1</real>|<date>2024-01-01</date>|<data>AA</data>"
                 "|<foo/>|<string id=\"1\">a</string>|<string>a<b/></string>|<array>x</array>"
                 "|<dict><string>a</string></dict>|<dict><key>a</key></dict>|<true>yes</true>"
                 "|<dict><key>a</key><true/><key>a</key><true/></dict>|<integer/>"
                 "|<integer>9223372036854775808</integer>|<integer>+-1</integer>"
                 "|<integer>-9223372036854775809</integer>|<integer>12abc</integer>"
                 "|<integer>\xd9\xa3</integer>|<string>&lol;</string>")
                 .split('|'))
            row(plist(body));
        for (const QByteArray &document :
             {QByteArray("Label = x"), QByteArray("bplist00\xd1\x01\x02", 11),
              QByteArray("<dict/>"), QByteArray("<plist version=\"2.0\"><dict/></plist>"),
              plist("<dict/>") + "<dict/>",
              QByteArray("<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aa\"><!ENTITY b "
                         "\"&a;&a;\">]><plist version=\"1.0\"><string>&b;</string></plist>"),
              QByteArray("<!DOCTYPE plist [<!ENTITY x SYSTEM \"/etc/passwd\">]>"
                         "<plist version=\"1.0\"><string>&x;</string></plist>"),
              QByteArray("<!DOCTYPE html><plist><dict/></plist>"), nested(PlistMaxDepth + 1),
              nested(60000), plist(QByteArray("<dict><key>k</key>").repeated(50000)),
              plist("<string>" + QByteArray(PlistMaxBytes, 'a') + "</string>")})
            row(document);
    }
    void reads()
    {
        QFETCH(QByteArray, document);
        QFETCH(QVariant, expected);
        QString error;
        const std::optional<QVariant> value = readXmlPlist(document, &error);
        QCOMPARE(value.value_or(QVariant()), expected);
        QVERIFY2(value || (!error.isEmpty() && !error.contains(u'\n') && error.size() < 200),
                 qPrintable(error));
    }

    void job_data()
    {
        QTest::addColumn<QVariantMap>("plist");
        QTest::addColumn<QString>("result"); // the calendars, or "!" and the refusal's reason
        int n = 0;
        const auto row = [&n](const QVariantMap &plist, const QString &result) {
            QTest::addRow("%d %s", ++n, qPrintable(result)) << plist << result;
        };
        row(makeAgentPlist(Frequency::Hourly, 17, u"/q"_s), u"*-*-* *:00:00"_s);
        row(with(u"RunAtLoad"_s, QVariant()), u"*-*-* 03:00:00"_s);
        row(makeAgentPlist(Frequency::Weekly, 23, u"/q"_s), u"Sun *-*-* 23:00:00"_s);
        row(at(u"Weekday=7 Hour=0"_s), u"Sun *-*-* 00:*:00"_s);
        row(at(u""_s), u"*-*-* *:*:00"_s);
        row(at(u"Month=12 Day=31 Minute=5"_s), u"*-12-31 *:05:00"_s);
        row(with(u"StartCalendarInterval"_s,
                 QVariantList{at(u"Weekday=3"_s).value(u"StartCalendarInterval"_s),
                              at(u"Hour=9"_s).value(u"StartCalendarInterval"_s)}),
            u"Wed *-*-* *:*:00,*-*-* 09:*:00"_s);
        row(makeAgentPlist(Frequency::Daily, 24, u"/q"_s), u"!Hour 24 is outside 0-23"_s);
        row(makeAgentPlist(Frequency::Weekly, -1, u"/q"_s), u"!Hour -1"_s);
        for (const QString &field : {u"Minute=60"_s, u"Weekday=8"_s, u"Day=0"_s, u"Month=13"_s})
            row(at(field), u"!"_s + field.section(u'=', 0, 0));
        row(at(u"Day=1 Weekday=1"_s), u"!Day and Weekday"_s);
        row(at(u"Hour=3h"_s), u"!Hour must be an integer"_s);
        row(at(u"Second=0"_s), u"!\"Second\""_s);
        row(with(u"StartCalendarInterval"_s, QVariantList()), u"!empty"_s);
        row(with(u"StartCalendarInterval"_s, qint64(3)), u"!dictionary"_s);
        row(with(u"StartCalendarInterval"_s, QVariant()), u"!StartCalendarInterval is missing"_s);
        row(with(u"KeepAlive"_s, true), u"!\"KeepAlive\""_s);
        row(with(u"RunAtLoad"_s, true), u"!RunAtLoad must be false"_s);
        row(with(u"RunAtLoad"_s, u"false"_s), u"!RunAtLoad must be a boolean"_s);
        for (const QString &label : {u"../evil"_s, u"tmpl@x"_s, u"-flag"_s, QString(201, u'a')})
            row(with(u"Label"_s, label), u"!Label must be a text"_s);
        row(with(u"Label"_s, QVariant()), u"!Label is missing"_s);
        row(with(u"ProgramArguments"_s, QVariantList()), u"!non-empty array"_s);
        row(with(u"ProgramArguments"_s, QVariantList{u"q"_s}), u"!absolute"_s);
        row(with(u"ProgramArguments"_s, QVariantList{u"/q"_s, qint64(1)}), u"!strings"_s);
        row(with(u"ProgramArguments"_s, QVariantList{u"/q"_s, u"a\nb"_s}), u"!control"_s);
        row(with(u"StandardOutPath"_s, u"q.log"_s), u"!StandardOutPath is not an absolute"_s);
        row(with(u"StandardOutPath"_s, qint64(1)), u"!StandardOutPath must be a string"_s);
        row(with(u"StandardErrorPath"_s, u"/tmp/../q"_s), u"!StandardErrorPath has a \"..\""_s);
        row(with(u"StandardErrorPath"_s, u"/tmp/q "_s), u"!StandardErrorPath ends in a blank"_s);
        row(with(u"StandardOutPath"_s, u"/q\\"_s), u"!backslash"_s);
    }
    void job()
    {
        QFETCH(QVariantMap, plist);
        QFETCH(QString, result);
        QString error;
        const std::optional<AgentJob> job = agentJobFromPlist(plist, &error);
        QVERIFY2(job ? error.isEmpty() : result.startsWith(u'!') && error.contains(result.mid(1)),
                 qPrintable(error));
        if (job) {
            QCOMPARE(job->calendars.join(u','), result);
            QCOMPARE(QStringList({job->label, job->programArguments.last(), job->standardOutPath,
                                  job->standardErrorPath}),
                     QStringList({u"org.quillbrook.cleanup"_s, u"--headless"_s,
                                  plist.value(u"StandardOutPath"_s).toString(),
                                  plist.value(u"StandardErrorPath"_s).toString()}));
        }
    }
};

QTEST_GUILESS_MAIN(TestAgentJob)
#include "tst_agentjob.moc"
