#include "TestSupport.h"

#include "agent/AgentInstaller.h"
#include "agent/AgentPlist.h"
#include "agent/NextRun.h"
#include "agent/PlistWriter.h"
#include "agentctl/AgentJob.h"
#include "agentctl/PlistReader.h"
#include "app/CommandLine.h"
#include "settings/AppSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <ctime>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString Tool = QStringLiteral(QUILLBROOK_BINARY_DIR "/quillbrook-agentctl");
const QString Label = QStringLiteral("org.quillbrook.cleanup");

struct Run
{
    int exitCode = -1;
    QString out, err;
};

Run run(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QString capture(const QString &text, const QString &pattern)
{
    return QRegularExpression(pattern, QRegularExpression::MultilineOption).match(text).captured(1);
}

// The words of a command line as systemd prints it in its unit dump (shell-style quoting).
QStringList dumpedWords(const QString &line)
{
    QStringList words;
    static const QRegularExpression word(u"\"((?:[^\"\\\\]|\\\\.)*)\"|(\\S+)"_s);
    for (const QRegularExpressionMatch &m : word.globalMatch(line))
        words.append((m.captured(1).isNull() ? m.captured(2) : m.captured(1))
                         .replace(QRegularExpression(u"\\\\(.)"_s), u"\\1"_s));
    return words;
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

QVariant at(const QString &interval) // "Hour=9 Minute=0"; a value not a number stays text
{
    QVariantMap map;
    for (const QString &field : interval.split(u' ', Qt::SkipEmptyParts)) {
        bool number = false;
        const qint64 value = field.section(u'=', 1).toLongLong(&number);
        map.insert(field.section(u'=', 0, 0), number ? QVariant(value) : field.section(u'=', 1));
    }
    return map;
}

} // namespace

// The schedule end to end: the document, its installation, the real quillbrook-agentctl against a
// stand-in systemctl, systemd-analyze's reading of its units; which road a command line takes.
class TestAgentCtl : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // Central European time with its daylight-saving rules, here and in systemd-analyze.
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        tzset();
        m_home = std::make_unique<TestHome>();
        // The program the units start: its path must reach systemd intact. A blank in the agent
        // folder: each path must reach the tool as one argument.
        const QString folder = m_home->home() + u"/Quill Brook %h 100% $HOME zoë"_s;
        m_context.agentFolder = m_home->configHome() + u"/quill brook/LaunchAgents"_s;
        QVERIFY(QDir().mkpath(folder) && QDir().mkpath(m_home->home() + u"/bin"_s) &&
                QDir().mkpath(m_context.agentFolder));
        m_systemctl = std::make_unique<FakeProgram>(m_home->home() + u"/bin/systemctl"_s, 0,
                                                    "exit ${FAKE_SYSTEMCTL_STATUS:-0}\n");
        m_program = FakeProgram(folder + u"/quillbrook"_s).path();
        m_context.toolPath = tool(0);
        m_document = agentFilePath(m_context);
        m_units = m_home->configHome() + u"/systemd/user/"_s;
    }
    void cleanup() { m_home.reset(); } // first: the next home saves the environment it finds

    void load_data()
    {
        QTest::addColumn<Frequency>("frequency");
        QTest::addColumn<QString>("interval"); // as plistlib reads it
        QTest::addColumn<QString>("calendar"); // as systemd normalises it
        QTest::addColumn<QString>("nows");     // local times to reckon the next run from
        QTest::newRow("hourly") << Frequency::Hourly << u"{\"Minute\":0}"_s << u"*-*-* *:00:00"_s
                                << u"2026-12-31 23:59:59,2026-03-29 01:30:00,2026-10-25 02:30:00"_s;
        QTest::newRow("daily") << Frequency::Daily << u"{\"Hour\":2,\"Minute\":0}"_s
                               << u"*-*-* 02:00:00"_s
                               << u"2026-12-31 23:30:00,2026-03-29 01:00:00,2026-10-25 01:30:00"_s;
        QTest::newRow("weekly") << Frequency::Weekly << u"{\"Weekday\":0,\"Hour\":2,\"Minute\":0}"_s
                                << u"Sun *-*-* 02:00:00"_s
                                << u"2026-12-06 02:00:00,2026-12-05 23:00:00,2026-03-28 12:00:00"_s;
    }
    // The document read back by Python's plistlib (JSON keeps false, 0 and "0" apart), loaded by
    // the real tool, its units read by systemd-analyze, its next run reckoned as systemd does,
    // then unloaded.
    void load()
    {
        QFETCH(Frequency, frequency);
        QFETCH(QString, interval);
        QFETCH(QString, calendar);
        QFETCH(QString, nows);
        const QString odd = u"/a b/& <T>/\"q\" 'b'/zoë 日本"_s; // for XML; systemd refuses it
        writeDocument(
            serializeAgentPlist(makeAgentPlist(frequency, 2, odd)).value_or(QByteArray()));
        const QString toJson = u"import json, plistlib, sys\n"_s
                               "print(json.dumps(plistlib.load(open(sys.argv[1], 'rb'))))"_s;
        const QString json = run(u"python3"_s, {u"-c"_s, toJson, m_document}).out;
        const QString output = m_home->stateHome() + u"/quillbrook/quillbrook."_s;
        const QJsonObject expected{
            {u"Label"_s, Label},
            {u"ProgramArguments"_s, QJsonArray{odd, u"--headless"_s}},
            {u"StartCalendarInterval"_s, QJsonDocument::fromJson(interval.toUtf8()).object()},
            {u"RunAtLoad"_s, false},
            {u"StandardOutPath"_s, output + u"log"_s},
            {u"StandardErrorPath"_s, output + u"err"_s}};
        QCOMPARE(QJsonDocument::fromJson(json.toUtf8()).object(), expected);
        for (const QVariant &bad : {QVariant(u"a\x01"_s), QVariant(QString(QChar(0xD800))),
                                    QVariant(QVariantList{QVariant(1.5)})})
            QVERIFY(!writeXmlPlist(QVariantMap{{u"Key"_s, bad}}));
        QVERIFY(!readXmlPlist("<plist><string>" + QByteArray(PlistMaxBytes, 'a') +
                              "</string></plist>"));

        QVariantMap plist = makeAgentPlist(frequency, 2, m_program);
        plist.insert(
            u"ProgramArguments"_s,
            QVariantList{m_program, u"--headless"_s, u"1% \"q\" \\ $HOME ${P} %h"_s, QString()});
        plist.insert(u"StandardOutPath"_s, m_home->home() + u"/100% $out %h.log"_s);
        writeDocument(serializeAgentPlist(plist).value_or(QByteArray()));
        const Run loaded = run(Tool, {u"load"_s, m_document}, environment());
        QCOMPARE(loaded.err + QString::number(loaded.exitCode), u"0"_s);
        QCOMPARE(m_systemctl->calls(), QStringList({u"--user|daemon-reload"_s,
                                                    u"--user|start|"_s + Label + u".timer"_s}));
        QCOMPARE(QFileInfo(wantsLink()).symLinkTarget(), m_units + Label + u".timer"_s);

        // verify fails on any error, a program that does not exist included, so a mangled path
        // cannot pass. At debug level it dumps the units as it parsed them.
        const QStringList verify = {u"verify"_s, u"--man=no"_s, u"--generators=no"_s,
                                    m_units + Label + u".service"_s, m_units + Label + u".timer"_s};
        const Run checked = run(u"systemd-analyze"_s, verify);
        QVERIFY2(checked.exitCode == 0 && checked.err.isEmpty(), qPrintable(checked.err));
        QProcessEnvironment debug = QProcessEnvironment::systemEnvironment();
        debug.insert(u"SYSTEMD_LOG_LEVEL"_s, u"debug"_s);
        const QString parsed = run(u"systemd-analyze"_s, verify, debug).out;
        // systemd keeps "$$" in the stored arguments and makes it "$" only when it starts the
        // program; the path itself is taken as it is.
        QStringList words = plist.value(u"ProgramArguments"_s).toStringList();
        for (qsizetype i = 1; i < words.size(); ++i)
            words[i].replace(u"$"_s, u"$$"_s);
        QCOMPARE(dumpedWords(capture(parsed, u"^\\s*Command Line: (.*)$"_s)), words);
        QCOMPARE(capture(parsed, u"^\\s*StandardOutputFileToAppend: (.*)$"_s),
                 plist.value(u"StandardOutPath"_s).toString());
        QCOMPARE(capture(parsed, u"^\\s*StandardErrorFileToAppend: (.*)$"_s), output + u"err"_s);
        QVERIFY(parsed.contains(u"Persistent: yes"_s));
        const QString timer = QString::fromUtf8(readRaw(QFile::encodeName(verify.last())).value());
        for (const QString &local : nows.split(u',')) {
            const QDateTime now = QDateTime::fromString(local, u"yyyy-MM-dd HH:mm:ss"_s);
            const QString base = u"--base-time=@"_s + QString::number(now.toSecsSinceEpoch());
            const QString next =
                run(u"systemd-analyze"_s, {u"calendar"_s, u"--iterations=1"_s, base,
                                           capture(timer, u"^OnCalendar=(.*)$"_s)})
                    .out;
            QCOMPARE(capture(next, u"Normalized form: (.*)$"_s), calendar);
            QCOMPARE(nextRunTime(frequency, 2, now).toUTC().toString(u"yyyy-MM-dd HH:mm:ss"_s),
                     capture(next, u"\\(in UTC\\): \\w+ (\\S+ \\S+) UTC"_s));
        }

        // What a user manager leaves once the timer has run.
        const QByteArray stamp = QFile::encodeName(
            m_home->dataHome() + u"/systemd/timers/stamp-"_s + Label + u".timer"_s);
        QVERIFY(QDir().mkpath(QFileInfo(stamp).path()) && writeRaw(stamp));
        writeDocument("<plist>damaged"); // unloads by the file name all the same
        QCOMPARE(run(Tool, {u"unload"_s, m_document}, environment()).err, QString());
        QCOMPARE(m_systemctl->calls().mid(2),
                 QStringList({u"--user|stop|"_s + Label + u".timer"_s, u"--user|daemon-reload"_s}));
        QCOMPARE(namesIn(QFile::encodeName(m_units)) + QByteArrayList{exists(stamp) ? stamp : ""},
                 QByteArrayList({"timers.target.wants", ""}));
        QCOMPARE(namesIn(QFile::encodeName(QFileInfo(wantsLink()).path())), QByteArrayList());
        // Already gone is success, and nothing asks the manager again.
        QCOMPARE(run(Tool, {u"unload"_s, m_document}, environment()).exitCode, 0);
        QCOMPARE(m_systemctl->calls().size(), 4);
    }

    void schedule_data()
    {
        QTest::addColumn<QString>("steps"); // "on|off Frequency hour", "delete" the document,
                                            // "tool N" exits with N (-1: none), "blocked" folder
        QTest::addColumn<QString>("calls"); // the tool's
        for (const char *row : {"on Daily 3>load", "on Daily 3,on Daily 4>load,unload,load",
                                "off Weekly 5>", "on Hourly 3,off Daily 3,off Daily 3>load,unload",
                                "on Daily 3,delete,off Daily 3>load", "tool 3,on Daily 3>load",
                                "on Daily 3,tool -1,off Daily 3>load", "blocked,off Daily 3>"})
            QTest::newRow(row) << QString::fromLatin1(row).section(u'>', 0, 0)
                               << QString::fromLatin1(row).section(u'>', 1);
    }
    // Drives applySchedule() the way the panel does: store a setting, then apply.
    void schedule()
    {
        QFETCH(QString, steps);
        QFETCH(QString, calls);
        LogCapture log;
        AppSettings settings(m_home->settingsFile(), m_home->home());
        int status = 0; // what the tool answers
        QString error;
        for (const QString &step : steps.split(u',')) {
            const QStringList words = step.split(u' ');
            if (step == u"delete"_s) {
                QVERIFY(QFile::remove(m_document));
            } else if (words.first() == u"tool"_s) {
                status = words.at(1).toInt();
                m_context.toolPath = status < 0 ? m_home->home() + u"/none"_s : tool(status);
            } else if (step == u"blocked"_s) {
                QVERIFY(writeRaw(QFile::encodeName(m_home->home() + u"/file"_s)));
                m_context.agentFolder = m_home->home() + u"/file/LaunchAgents"_s;
                QVERIFY(!installAgent(Frequency::Daily, 3, m_context, &error));
                QVERIFY2(error.startsWith(u"Cannot create the folder "_s + m_context.agentFolder +
                                          u": "_s),
                         qPrintable(error));
            } else {
                settings.setEnabled(words.at(0) == u"on"_s);
                settings.setFrequency(frequencyFromRaw(words.at(1)).value());
                settings.setHourOfDay(words.at(2).toLongLong());
                applySchedule(settings, m_context);
            }
        }
        QStringList expected = calls.split(u',', Qt::SkipEmptyParts);
        for (QString &call : expected)
            call += u"|"_s + m_document;
        QCOMPARE(m_tool->calls(), expected);
        // A failing load leaves the file; without the tool, removal still takes it.
        const std::optional<QByteArray> bytes = readRaw(QFile::encodeName(m_document));
        QCOMPARE(bytes.has_value(), settings.enabled());
        if (bytes)
            QCOMPARE(readXmlPlist(*bytes).value_or(QVariant()),
                     QVariant(makeAgentPlist(settings.frequency(), settings.hourOfDay())));
        // systemd fails the run when the output folder is missing; nobody else may read it.
        struct stat st = {};
        const bool made = stat(QFile::encodeName(agentOutputFolder()).constData(), &st) == 0;
        QCOMPARE(made ? int(st.st_mode & 07777) : 0, expected.isEmpty() ? 0 : 0700);
        QCOMPARE(runLaunchctl({u"x"_s}, m_context), status);
        QVERIFY2(log.lines.size() == (status < 0 ? 2 : 0) &&
                     log.lines.filter(QRegularExpression(u"^launchctl failed: ."_s)) == log.lines,
                 qPrintable(log.lines.join(u'\n')));
    }

    void documents_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("path");   // empty: the document at the usual place
        QTest::addColumn<QString>("result"); // the calendars, or "!" and a part of the reason
        int n = 0;
        const auto row = [&n](const QByteArray &bytes, const QString &result,
                              const char *path = "") {
            QTest::addRow("%d %s", ++n, qPrintable(result))
                << bytes << QString::fromLatin1(path) << result;
        };
        const auto job = [&row](const QVariantMap &plist, const QString &result) {
            row(serializeAgentPlist(plist).value_or(QByteArray()), result);
        };
        const auto interval = [&job](const QString &fields, const QString &result) {
            job(with(u"StartCalendarInterval"_s, at(fields)), result);
        };
        job(makeAgentPlist(Frequency::Hourly, 17, u"/q"_s), u"*-*-* *:00:00"_s);
        job(with(u"RunAtLoad"_s, QVariant()), u"*-*-* 03:00:00"_s);
        job(makeAgentPlist(Frequency::Weekly, 23, u"/q"_s), u"Sun *-*-* 23:00:00"_s);
        interval(u"Weekday=7 Hour=0"_s, u"Sun *-*-* 00:*:00"_s);
        interval(u""_s, u"*-*-* *:*:00"_s);
        interval(u"Month=12 Day=31 Minute=5"_s, u"*-12-31 *:05:00"_s);
        job(with(u"StartCalendarInterval"_s, QVariantList{at(u"Weekday=3"_s), at(u"Hour=9"_s)}),
            u"Wed *-*-* *:*:00,*-*-* 09:*:00"_s);
        job(makeAgentPlist(Frequency::Daily, 24, u"/q"_s), u"!Hour 24 is outside 0-23"_s);
        job(makeAgentPlist(Frequency::Weekly, -1, u"/q"_s), u"!Hour -1"_s);
        for (const QString &field : {u"Minute=60"_s, u"Weekday=8"_s, u"Day=0"_s, u"Month=13"_s})
            interval(field, u"!"_s + field.section(u'=', 0, 0));
        interval(u"Minute=-9223372036854775808"_s, u"!Minute -9223372036854775808 is outside"_s);
        interval(u"Day=1 Weekday=1"_s, u"!Day and Weekday"_s);
        interval(u"Hour=3h"_s, u"!Hour must be an integer"_s);
        interval(u"Second=0"_s, u"!\"Second\""_s);
        job(with(u"StartCalendarInterval"_s, QVariantList()), u"!empty"_s);
        job(with(u"StartCalendarInterval"_s, qint64(3)), u"!dictionary"_s);
        job(with(u"StartCalendarInterval"_s, QVariant()), u"!StartCalendarInterval is missing"_s);
        job(with(u"KeepAlive"_s, true), u"!\"KeepAlive\""_s);
        job(with(u"RunAtLoad"_s, true), u"!RunAtLoad must be false"_s);
        job(with(u"RunAtLoad"_s, u"false"_s), u"!RunAtLoad must be a boolean"_s);
        for (const QString &label : {u"../evil"_s, u"tmpl@x"_s, u"-flag"_s, QString(201, u'a')})
            job(with(u"Label"_s, label), u"!Label must be a text"_s);
        job(with(u"ProgramArguments"_s, QVariantList()), u"!non-empty array"_s);
        job(with(u"ProgramArguments"_s, QVariantList{u"q"_s}), u"!absolute"_s);
        job(with(u"ProgramArguments"_s, QVariantList{u"/q"_s, qint64(1)}), u"!strings"_s);
        job(with(u"ProgramArguments"_s, QVariantList{u"/q"_s, u"a\nb"_s}), u"!control"_s);
        job(with(u"StandardOutPath"_s, u"q.log"_s), u"!StandardOutPath is not an absolute"_s);
        job(with(u"StandardErrorPath"_s, u"/tmp/../q"_s), u"!StandardErrorPath has a \"..\""_s);
        job(with(u"StandardErrorPath"_s, u"/tmp/q "_s), u"!StandardErrorPath ends in a blank"_s);
        job(with(u"StandardOutPath"_s, u"/q\\"_s), u"!backslash"_s);
        // Read strictly: what the reader takes is no dictionary; what it refuses, it refuses with
        // the line.
        const QByteArray head =
            "<?xml version=\"1.0\"?>\n<!DOCTYPE plist>\n<plist version=\"1.0\">";
        const auto nested = [](int depth) {
            return QByteArray("<array>").repeated(depth) + QByteArray("</array>").repeated(depth);
        };
        row(head + nested(PlistMaxDepth) + "</plist>", u"!not a dictionary"_s);
        row(head + "<integer> -9223372036854775808\n</integer></plist>", u"!not a dictionary"_s);
        row(head + "<!-- c --><integer>9223372036854775807</integer></plist>", u"!not a dict"_s);
        for (const QByteArray &body :
             QByteArray(
                 "|<dict/><dict/>|<dict>|<real>1</real>|<date>2024-01-01</date>|<data>AA</data>"
                 "|<foo/>|<string id=\"1\">a</string>|<string>a<b/></string>|<array>x</array>"
                 "|<dict><string>a</string></dict>|<dict><key>a</key></dict>|<true>yes</true>"
                 "|<dict><key>a</key><true/><key>a</key><true/></dict>|<integer/>"
                 "|<integer>9223372036854775808</integer>|<integer>+-1</integer>"
                 "|<integer>-9223372036854775809</integer>|<integer>12abc</integer>"
                 "|<integer>\xd9\xa3</integer>|<string>&lol;</string>|<dict>\x7f\x01</dict>")
                 .split('|'))
            row(head + body + "</plist>", u"!line "_s);
        for (const QByteArray &document :
             {QByteArray(), QByteArray("Label = x"), QByteArray("<dict/>"), head + "<dict/>",
              QByteArray("<plist version=\"2.0\"><dict/></plist>"), head + "<dict/></plist><dict/>",
              QByteArray("<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aa\"><!ENTITY b "
                         "\"&a;&a;\">]><plist version=\"1.0\"><string>&b;</string></plist>"),
              QByteArray("<!DOCTYPE plist [<!ENTITY x SYSTEM \"/etc/passwd\">]>"
                         "<plist version=\"1.0\"><string>&x;</string></plist>"),
              QByteArray("<!DOCTYPE html><plist><dict/></plist>"),
              head + nested(PlistMaxDepth + 1) + "</plist>", head + nested(60000) + "</plist>",
              head + QByteArray("<dict><key>k</key>").repeated(50000) + "</plist>"})
            row(document, u"!line "_s);
        row(QByteArray("bplist00\xd1\x01\x02", 11), u"!binary"_s);
        row(head + "<string>" + QByteArray(PlistMaxBytes, 'a') + "</string></plist>", u"!larger"_s);
        for (const char *path : {"/dev/zero", "/"})
            row({}, u"!not a regular file"_s, path);
        row({}, u"!No such file"_s, "/nonexistent/agent.plist");
    }
    // Loaded by the real tool: the timer's calendars, or a refusal with one line on standard
    // error, no unit written and no systemctl call.
    void documents()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, path);
        QFETCH(QString, result);
        if (path.isEmpty())
            writeDocument(document);
        const Run loaded =
            run(Tool, {u"load"_s, path.isEmpty() ? m_document : path}, environment());
        const QString timer = QString::fromUtf8(
            readRaw(QFile::encodeName(m_units + Label + u".timer"_s)).value_or(QByteArray()));
        QString calendars = timer.split(u'\n').filter(u"OnCalendar="_s).join(u',');
        if (!result.startsWith(u'!')) {
            QCOMPARE(loaded.err + QString::number(loaded.exitCode) +
                         calendars.remove(u"OnCalendar="_s),
                     u"0"_s + result);
            return;
        }
        QCOMPARE(loaded.exitCode, 1);
        QVERIFY2(loaded.err.startsWith(u"quillbrook-agentctl: Cannot "_s) &&
                     loaded.err.count(u'\n') == 1 && loaded.err.contains(result.mid(1)),
                 qPrintable(loaded.err.left(300)));
        QVERIFY(!exists(QFile::encodeName(m_home->configHome() + u"/systemd"_s)));
        QCOMPARE(m_systemctl->calls(), QStringList());
    }

    // Without a reachable user manager the timer is still enabled, for the next session; units
    // the user wrote under the same name are never replaced nor removed.
    void managerAndForeignUnits()
    {
        writeDocument(*serializeAgentPlist(makeAgentPlist(Frequency::Daily, 3, m_program)));
        for (const QString &bin : {u"/empty"_s, u"/bin"_s}) {
            QProcessEnvironment env = environment();
            env.insert(u"PATH"_s, m_home->home() + bin);
            env.insert(u"FAKE_SYSTEMCTL_STATUS"_s, u"1"_s);
            const Run result = run(Tool, {u"load"_s, m_document}, env);
            QVERIFY2(result.exitCode == 0 &&
                         result.err.startsWith(u"quillbrook-agentctl: Warning: "_s) &&
                         result.err.contains(Label + u".timer is enabled"_s),
                     qPrintable(result.err));
            QVERIFY(QFileInfo(wantsLink()).isSymLink());
        }
        const QByteArray foreign = "[Service]\nExecStart=/bin/true\n";
        QVERIFY(writeRaw(QFile::encodeName(m_units + Label + u".service"_s), foreign));
        for (const QString &command : {u"load"_s, u"unload"_s}) {
            const Run result = run(Tool, {command, m_document}, environment());
            QVERIFY2(result.exitCode == 1 && result.err.contains(u"not written by"_s),
                     qPrintable(result.err));
        }
        QCOMPARE(readRaw(QFile::encodeName(m_units + Label + u".service"_s)), foreign);
        QCOMPARE(m_systemctl->calls().size(), 1);
    }

    // Both programs run for real with no display reachable: none starts the tray app, and an
    // old screenshot stays where it is until asked for.
    void commandLines()
    {
        const QString app = TestHome::quillbrookExecutable();
        const QString usage = u"Usage: quillbrook-agentctl load|unload AGENT.plist\n"_s;
        const QString shot = m_home->home() + u"/Desktop/Screenshot 1.png"_s;
        QVERIFY(QDir().mkpath(m_home->home() + u"/Desktop"_s) && writeRaw(QFile::encodeName(shot)));
        AppSettings(m_home->settingsFile(), m_home->home()).setAgeValue(-1);
        const QList<std::tuple<QString, QString, int, QString>> rows = {
            {app, u"-h"_s, 0, u"Usage: quillbrook [OPTION]\n"_s},
            {app, u"-V"_s, 0, u"quillbrook 1.0.0\n"_s},
            {app, u"--bogus"_s, 2,
             u"quillbrook: Unknown option 'bogus'. Try 'quillbrook --help'.\n"_s},
            {app, u"--preview --headless"_s, 2,
             u"quillbrook: --headless and --preview cannot be used together. Try 'quillbrook "
             "--help'.\n"_s},
            {app, u""_s, 1,
             u"quillbrook: cannot open the tray app: no graphical display (DISPLAY=\"\", "
             "WAYLAND_DISPLAY=\"\"); use 'quillbrook --headless' to run one cleanup without a "
             "display\n"_s},
            {app, u"--preview"_s, 0, shot + u'\t'},
            {Tool, u"--version"_s, 0, u"quillbrook-agentctl 1.0.0\n"_s},
            {Tool, u"load"_s, 2, usage},
            {Tool, u"load -w x"_s, 2, usage}};
        for (const auto &[program, arguments, status, text] : rows) {
            const Run result =
                run(program, arguments.split(u' ', Qt::SkipEmptyParts), environment());
            QVERIFY2(result.exitCode == status &&
                         (status ? result.out.isEmpty() && result.err == text
                                 : result.out.startsWith(text)),
                     qPrintable(program + u' ' + arguments + u": "_s + result.err));
        }
        QCOMPARE(m_systemctl->calls(), QStringList());
    }

    void launchMode_data()
    {
        QTest::addColumn<QStringList>("arguments"); // after the program
        QTest::addColumn<LaunchAction>("action");
        const auto row = [](const char *name, const QStringList &arguments, LaunchAction action) {
            QTest::newRow(name) << arguments << action;
        };
        using enum LaunchAction;
        row("--headless anywhere", {"-v", "x", "--headless"}, Headless);
        row("--headless whatever else is there", {"--help", "--bogus", "--headless"}, Headless);
        row("--headless after the end of options", {"--", "--headless"}, Headless);
        row("--headless with --preview", {"--preview", "--headless"}, UsageError);
        row("--headless with --put-back", {"--headless", "--put-back"}, UsageError);
        row("nothing", {}, Interactive);
        row("a plain argument", {"headless"}, Interactive);
        row("the login entry's option", {"--autostart"}, Interactive);
        row("Qt's own options", {"-platform", "xcb", "--style=Fusion", "-reverse"}, Interactive);
        row("--headless with a capital", {"--Headless"}, UsageError);
        row("--headless with a value", {"--headless=1"}, UsageError);
        row("--headless with one hyphen", {"-headless"}, UsageError);
        row("an unknown option", {"--bogus"}, UsageError);
        row("help with one hyphen", {"-help"}, UsageError);
        row("--preview with --put-back", {"--preview", "--put-back"}, UsageError);
        row("-h", {"-h"}, Help);
        row("--help", {"--help"}, Help);
        row("-V", {"-V"}, Version);
        row("--version at login", {"--autostart", "--version"}, Version);
        row("--preview", {"--preview"}, Preview);
        row("--put-back", {"--put-back"}, PutBack);
    }
    // "--headless" anywhere (element 0 included) unless a read or undo is asked for too.
    void launchMode()
    {
        QFETCH(QStringList, arguments);
        const LaunchRequest request = parseLaunchArguments(QStringList{"quillbrook"} + arguments);
        QTEST(request.action, "action");
        QCOMPARE(request.error.isEmpty(), request.action != LaunchAction::UsageError);
        QCOMPARE(parseLaunchArguments({"--headless"}).action, LaunchAction::Headless);
    }

private:
    // A stand-in for the tool that records its arguments, and whether the document was missing.
    QString tool(int status)
    {
        m_tool = std::make_unique<FakeProgram>(m_home->home() + u"/tool-%1"_s.arg(status), status,
                                               "[ -e \"$2\" ] || echo absent >> \"$0.calls\"\n");
        return m_tool->path();
    }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = m_home->processEnvironment();
        env.insert(u"PATH"_s, m_home->home() + u"/bin"_s);
        env.remove(u"QT_QPA_PLATFORM"_s);
        return env;
    }
    void writeDocument(const QByteArray &bytes)
    {
        QVERIFY(writeRaw(QFile::encodeName(m_document), bytes));
    }
    QString wantsLink() const { return m_units + u"timers.target.wants/"_s + Label + u".timer"_s; }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<FakeProgram> m_systemctl, m_tool;
    AgentContext m_context;
    QString m_program, m_document, m_units;
};

QTEST_GUILESS_MAIN(TestAgentCtl)
#include "tst_agentctl.moc"
