#include "agent/AgentPlist.h"
#include "agentctl/PlistReader.h"
#include "agent/PlistWriter.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Python's plistlib as an independent reader: the document comes back as JSON, where a boolean,
// an integer and a string stay distinguishable.
std::optional<QJsonDocument> readWithPlistlib(const QByteArray &document)
{
    QProcess python;
    python.start(u"python3"_s,
                 {u"-c"_s, u"import json, plistlib, sys\n"
                           "value = plistlib.loads(sys.stdin.buffer.read(), fmt=plistlib.FMT_XML)\n"
                           "sys.stdout.write(json.dumps(value, ensure_ascii=True))\n"_s});
    python.write(document);
    python.closeWriteChannel();
    if (!python.waitForFinished(-1) || python.exitCode() != 0) {
        qWarning().noquote() << python.readAllStandardError();
        return std::nullopt;
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput());
}

QVariantMap interval(std::initializer_list<std::pair<const char *, qint64>> entries)
{
    QVariantMap map;
    for (const auto &[key, value] : entries)
        map.insert(QString::fromLatin1(key), value);
    return map;
}

} // namespace

class TestAgentPlist : public QObject
{
    Q_OBJECT

private slots:
    void document_data();
    void document();
    void readBackByPlistlib_data();
    void readBackByPlistlib();
    void xmlForm();
    void unwritableValues_data();
    void unwritableValues();
    void documentNamesRunningExecutable();
};

void TestAgentPlist::document_data()
{
    QTest::addColumn<Frequency>("frequency");
    QTest::addColumn<qint64>("hour");
    QTest::addColumn<QVariantMap>("calendar");

    QTest::newRow("daily, default hour")
        << Frequency::Daily << qint64(3) << interval({{"Hour", 3}, {"Minute", 0}});
    QTest::newRow("hourly ignores the hour")
        << Frequency::Hourly << qint64(17) << interval({{"Minute", 0}});
    QTest::newRow("weekly on Sunday") << Frequency::Weekly << qint64(17)
                                      << interval({{"Weekday", 0}, {"Hour", 17}, {"Minute", 0}});
    QTest::newRow("hour kept unchecked")
        << Frequency::Daily << qint64(24) << interval({{"Hour", 24}, {"Minute", 0}});
}

void TestAgentPlist::document()
{
    QFETCH(Frequency, frequency);
    QFETCH(qint64, hour);
    QFETCH(QVariantMap, calendar);

    const QVariantMap plist = makeAgentPlist(frequency, hour, u"/opt/q/quillbrook"_s);
    QCOMPARE(plist.keys(),
             QStringList({u"Label"_s, u"ProgramArguments"_s, u"RunAtLoad"_s, u"StandardErrorPath"_s,
                          u"StandardOutPath"_s, u"StartCalendarInterval"_s}));
    QCOMPARE(plist.value(u"Label"_s), QVariant(QString::fromLatin1(AgentLabel)));
    QCOMPARE(plist.value(u"ProgramArguments"_s),
             QVariant(QVariantList{u"/opt/q/quillbrook"_s, u"--headless"_s}));
    QCOMPARE(plist.value(u"RunAtLoad"_s).typeId(), QMetaType::Bool);
    QCOMPARE(plist.value(u"RunAtLoad"_s).toBool(), false);
    QCOMPARE(plist.value(u"StandardOutPath"_s), QVariant(u"/tmp/quillbrook.log"_s));
    QCOMPARE(plist.value(u"StandardErrorPath"_s), QVariant(u"/tmp/quillbrook.err"_s));
    const QVariantMap actual = plist.value(u"StartCalendarInterval"_s).toMap();
    QCOMPARE(actual, calendar);
    for (const QVariant &value : actual)
        QCOMPARE(value.typeId(), QMetaType::LongLong);
}

void TestAgentPlist::readBackByPlistlib_data()
{
    QTest::addColumn<Frequency>("frequency");
    QTest::addColumn<QString>("executable");

    QTest::newRow("hourly") << Frequency::Hourly << u"/usr/bin/quillbrook"_s;
    QTest::newRow("daily") << Frequency::Daily << u"/usr/bin/quillbrook"_s;
    QTest::newRow("weekly") << Frequency::Weekly << u"/usr/bin/quillbrook"_s;
    QTest::newRow("blanks and markup in the path")
        << Frequency::Daily << u"/home/a b/My Apps & <Tools>/\"quill\" 'brook'"_s;
    QTest::newRow("non-ASCII path") << Frequency::Weekly << u"/home/zoë/Bücher/日本/quillbrook"_s;
}

void TestAgentPlist::readBackByPlistlib()
{
    if (QStandardPaths::findExecutable(u"python3"_s).isEmpty())
        QSKIP("python3 is not installed");
    QFETCH(Frequency, frequency);
    QFETCH(QString, executable);

    const QVariantMap plist = makeAgentPlist(frequency, 5, executable);
    QString error;
    const std::optional<QByteArray> bytes = serializeAgentPlist(plist, &error);
    QVERIFY2(bytes, qPrintable(error));

    const std::optional<QJsonDocument> read = readWithPlistlib(*bytes);
    QVERIFY(read);
    // JSON keeps false, 0 and "0" apart, so this also checks every value's type.
    QCOMPARE(read->object(), QJsonObject::fromVariantMap(plist));
    QCOMPARE(read->object().value(u"RunAtLoad"_s), QJsonValue(false));
    QCOMPARE(read->object().value(u"ProgramArguments"_s).toArray().size(), 2);

    // Our own reader, which the scheduler tool uses, agrees value for value.
    QCOMPARE(readXmlPlist(*bytes, &error).value_or(QVariant()), QVariant(plist));
}

void TestAgentPlist::xmlForm()
{
    const std::optional<QByteArray> bytes =
        serializeAgentPlist(makeAgentPlist(Frequency::Daily, 3, u"/a/b"_s));
    QVERIFY(bytes);
    QVERIFY(bytes->startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC "
                              "\"-//Apple//DTD PLIST 1.0//EN\" "
                              "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                              "<plist version=\"1.0\">"));
    QVERIFY(bytes->contains("<key>RunAtLoad</key>\n\t\t<false/>"));
    QVERIFY(bytes->contains("<key>Hour</key>\n\t\t\t<integer>3</integer>"));
}

void TestAgentPlist::unwritableValues_data()
{
    QTest::addColumn<QVariant>("value");

    QTest::newRow("control character") << QVariant(u"/opt/q\x01/quillbrook"_s);
    QTest::newRow("lone surrogate") << QVariant(QString(QChar(0xD800)));
    QTest::newRow("date") << QVariant(QDateTime::fromSecsSinceEpoch(0));
    QTest::newRow("nested in a list") << QVariant(QVariantList{1, QVariant(1.5)});
    QTest::newRow("invalid") << QVariant();
}

void TestAgentPlist::unwritableValues()
{
    QFETCH(QVariant, value);
    QString error;
    QVERIFY(!writeXmlPlist(QVariantMap{{u"Key"_s, value}}, &error));
    QVERIFY(!error.isEmpty());
}

void TestAgentPlist::documentNamesRunningExecutable()
{
    const QVariantList arguments =
        makeAgentPlist(Frequency::Hourly, 0).value(u"ProgramArguments"_s).toList();
    QCOMPARE(arguments, QVariantList({QCoreApplication::applicationFilePath(), u"--headless"_s}));
}

QTEST_GUILESS_MAIN(TestAgentPlist)
#include "tst_agentplist.moc"
