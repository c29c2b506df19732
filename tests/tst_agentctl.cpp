#include "TestSupport.h"

#include "agent/AgentInstaller.h"
#include "agent/AgentPlist.h"
#include "agent/NextRun.h"
#include "agent/PlistWriter.h"
#include "agentctl/AgentJob.h"
#include "agentctl/PlistReader.h"
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

// What one step of a schedule row stores and applies, as the panel does: enabled, frequency, hour.
using Apply = std::tuple<bool, Frequency, qint64>;

// What changes before a schedule row's last step.
enum class Meanwhile
{
    Nothing,
    DocumentDeleted,
    ToolFails,
    ToolGone
};

} // namespace

// The schedule end to end: the document, its installation, the real quillbrook-agentctl against a
// stand-in systemctl, systemd-analyze's reading of its units; both programs' command lines.
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
        QTest::addColumn<QJsonObject>("interval"); // as plistlib reads it
        QTest::addColumn<QString>("calendar");     // as systemd normalises it
        QTest::addColumn<QStringList>("nows");     // local times to reckon the next run from
        QTest::newRow("hourly") << Frequency::Hourly << QJsonObject{{"Minute", 0}}
                                << u"*-*-* *:00:00"_s
                                << QStringList{u"2026-12-31 23:59:59"_s, u"2026-03-29 01:30:00"_s,
                                               u"2026-10-25 02:30:00"_s};
        QTest::newRow("daily") << Frequency::Daily << QJsonObject{{"Hour", 2}, {"Minute", 0}}
                               << u"*-*-* 02:00:00"_s
                               << QStringList{u"2026-12-31 23:30:00"_s, u"2026-03-29 01:00:00"_s,
                                              u"2026-10-25 01:30:00"_s};
        QTest::newRow("weekly") << Frequency::Weekly
                                << QJsonObject{{"Weekday", 0}, {"Hour", 2}, {"Minute", 0}}
                                << u"Sun *-*-* 02:00:00"_s
                                << QStringList{u"2026-12-06 02:00:00"_s, u"2026-12-05 23:00:00"_s,
                                               u"2026-03-28 12:00:00"_s};
    }
    // The document read back by Python's plistlib (JSON keeps false, 0 and "0" apart), loaded by
    // the real tool, its units read by systemd-analyze, its next run reckoned as systemd does,
    // then unloaded.
    void load()
    {
        QFETCH(Frequency, frequency);
        QFETCH(QJsonObject, interval);
        QFETCH(QString, calendar);
        QFETCH(QStringList, nows);
        const QString odd = u"/a b/& <T>/\"q\" 'b'/zoë 日本"_s; // for XML; systemd refuses it
        writeDocument(
            serializeAgentPlist(makeAgentPlist(frequency, 2, odd)).value_or(QByteArray()));
        const QString toJson = u"import json, plistlib, sys\n"_s
                               "print(json.dumps(plistlib.load(open(sys.argv[1], 'rb'))))"_s;
        const QString json = runProgram(u"python3"_s, {u"-c"_s, toJson, m_document}).out;
        const QString output = m_home->stateHome() + u"/quillbrook/quillbrook."_s;
        const QJsonObject expected{{u"Label"_s, Label},
                                   {u"ProgramArguments"_s, QJsonArray{odd, u"--headless"_s}},
                                   {u"StartCalendarInterval"_s, interval},
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
        const ProgramRun loaded = runProgram(Tool, {u"load"_s, m_document}, environment());
        QCOMPARE(loaded.err + QString::number(loaded.exitCode), u"0"_s);
        QCOMPARE(m_systemctl->calls(), QStringList({u"--user|daemon-reload"_s,
                                                    u"--user|start|"_s + Label + u".timer"_s}));
        QCOMPARE(QFileInfo(wantsLink()).symLinkTarget(), m_units + Label + u".timer"_s);

        // verify fails on any error, a program that does not exist included, so a mangled path
        // cannot pass. At debug level it dumps the units as it parsed them.
        const QStringList verify = {u"verify"_s, u"--man=no"_s, u"--generators=no"_s,
                                    m_units + Label + u".service"_s, m_units + Label + u".timer"_s};
        const ProgramRun checked = runProgram(u"systemd-analyze"_s, verify);
        QVERIFY2(checked.exitCode == 0 && checked.err.isEmpty(), qPrintable(checked.err));
        QProcessEnvironment debug = QProcessEnvironment::systemEnvironment();
        debug.insert(u"SYSTEMD_LOG_LEVEL"_s, u"debug"_s);
        const QString parsed = runProgram(u"systemd-analyze"_s, verify, debug).out;
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
        for (const QString &local : nows) {
            const QDateTime now = QDateTime::fromString(local, u"yyyy-MM-dd HH:mm:ss"_s);
            const QString base = u"--base-time=@"_s + QString::number(now.toSecsSinceEpoch());
            const QString next =
                runProgram(u"systemd-analyze"_s, {u"calendar"_s, u"--iterations=1"_s, base,
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
        QCOMPARE(runProgram(Tool, {u"unload"_s, m_document}, environment()).err, QString());
        QCOMPARE(m_systemctl->calls().mid(2),
                 QStringList({u"--user|stop|"_s + Label + u".timer"_s, u"--user|daemon-reload"_s}));
        QCOMPARE(namesIn(QFile::encodeName(m_units)) + QByteArrayList{exists(stamp) ? stamp : ""},
                 QByteArrayList({"timers.target.wants", ""}));
        QCOMPARE(namesIn(QFile::encodeName(QFileInfo(wantsLink()).path())), QByteArrayList());
        // Already gone is success, and nothing asks the manager again.
        QCOMPARE(runProgram(Tool, {u"unload"_s, m_document}, environment()).exitCode, 0);
        QCOMPARE(m_systemctl->calls().size(), 4);
    }

    void schedule_data()
    {
        QTest::addColumn<QList<Apply>>("steps");
        QTest::addColumn<Meanwhile>("meanwhile");
        QTest::addColumn<QStringList>("calls"); // the tool's
        const Apply on{true, Frequency::Daily, 3}, off{false, Frequency::Daily, 3};
        const Apply onAt4{true, Frequency::Daily, 4}, hourly{true, Frequency::Hourly, 3};
        QTest::newRow("a new hour unloads the old agent, then loads the new")
            << QList{on, onAt4} << Meanwhile::Nothing << QStringList{"load", "unload", "load"};
        QTest::newRow("switching off unloads once")
            << QList{hourly, off, off} << Meanwhile::Nothing << QStringList{"load", "unload"};
        QTest::newRow("an agent deleted behind our back is not unloaded")
            << QList{on, off} << Meanwhile::DocumentDeleted << QStringList{"load"};
        QTest::newRow("a failing load keeps the document")
            << QList{on} << Meanwhile::ToolFails << QStringList{"load"};
        QTest::newRow("without the tool, switching off still removes the document")
            << QList{on, off} << Meanwhile::ToolGone << QStringList{"load"};
    }
    // Drives applySchedule() the way the panel does: store a setting, then apply.
    void schedule()
    {
        QFETCH(QList<Apply>, steps);
        QFETCH(Meanwhile, meanwhile);
        QFETCH(QStringList, calls);
        LogCapture log;
        AppSettings settings(m_home->settingsFile(), m_home->home());
        // What the tool answers; -1: there is none.
        const int status = meanwhile == Meanwhile::ToolFails  ? 3
                           : meanwhile == Meanwhile::ToolGone ? -1
                                                              : 0;
        for (const Apply &step : std::as_const(steps)) {
            const auto &[enabled, frequency, hour] = step;
            if (&step == &steps.constLast() && meanwhile == Meanwhile::DocumentDeleted)
                QVERIFY(QFile::remove(m_document));
            if (&step == &steps.constLast() && status != 0)
                m_context.toolPath = status < 0 ? m_home->home() + u"/none"_s : tool(status);
            settings.setEnabled(enabled);
            settings.setFrequency(frequency);
            settings.setHourOfDay(hour);
            applySchedule(settings, m_context);
        }
        // Each call names the document, whole.
        QCOMPARE(m_tool->calls(),
                 calls.replaceInStrings(QRegularExpression(u"$"_s), u"|"_s + m_document));
        // A failing load leaves the file; without the tool, removal still takes it.
        const std::optional<QByteArray> bytes = readRaw(QFile::encodeName(m_document));
        QCOMPARE(bytes.has_value(), settings.enabled());
        if (bytes)
            QCOMPARE(readXmlPlist(*bytes).value_or(QVariant()),
                     QVariant(makeAgentPlist(settings.frequency(), settings.hourOfDay())));
        // systemd fails the run when the output folder is missing; nobody else may read it.
        QCOMPARE(modeOf(QFile::encodeName(agentOutputFolder())) & 07777, mode_t(0700));
        QCOMPARE(runLaunchctl({u"x"_s}, m_context), status);
        QVERIFY2(log.lines.size() == (status < 0 ? 2 : 0) &&
                     log.lines.filter(QRegularExpression(u"^launchctl failed: ."_s)) == log.lines,
                 qPrintable(log.lines.join(u'\n')));
    }

    void documents_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("path");      // empty: the document at the usual place
        QTest::addColumn<QString>("calendars"); // the timer's, when the document loads
        QTest::addColumn<QString>("reason");    // a part of the one line, when it is refused
        const auto refused = [](const QString &name, const QByteArray &bytes, const QString &reason,
                                const char *path = "") {
            QTest::newRow(qPrintable(name)) << bytes << QString(path) << QString() << reason;
        };
        const auto loads = [](const char *name, const QVariantMap &plist, const char *calendars) {
            QTest::newRow(name) << serializeAgentPlist(plist).value_or(QByteArray()) << QString()
                                << QString(calendars) << QString();
        };
        const auto refuses = [&refused](const QString &name, const QVariantMap &plist,
                                        const QString &reason) {
            refused(name, serializeAgentPlist(plist).value_or(QByteArray()), reason);
        };
        const auto at = [](const QVariant &intervals) {
            return with(u"StartCalendarInterval"_s, intervals);
        };
        const auto program = [](const QString &path) {
            return with(u"ProgramArguments"_s, QVariantList{path, u"--headless"_s});
        };
        using Interval = QVariantMap;
        loads("RunAtLoad may be left out", with(u"RunAtLoad"_s, QVariant()), "*-*-* 03:00:00");
        loads("weekday 7 is Sunday", at(Interval{{"Weekday", 7}, {"Hour", 0}}),
              "Sun *-*-* 00:*:00");
        loads("an empty interval is every minute", at(Interval()), "*-*-* *:*:00");
        loads("the last day of the year", at(Interval{{"Month", 12}, {"Day", 31}, {"Minute", 5}}),
              "*-12-31 *:05:00");
        loads("February 29 comes in leap years", at(Interval{{"Month", 2}, {"Day", 29}}),
              "*-02-29 *:*:00");
        loads("two intervals", at(QVariantList{Interval{{"Weekday", 3}}, Interval{{"Hour", 9}}}),
              "Wed *-*-* *:*:00,*-*-* 09:*:00");
        for (const auto &[field, value] :
             {std::pair{"Hour", 24}, {"Minute", 60}, {"Weekday", 8}, {"Day", 0}, {"Month", 13}})
            refuses(u"%1 %2"_s.arg(field).arg(value), at(Interval{{field, value}}),
                    u"%1 %2 is outside"_s.arg(field).arg(value));
        // Dates that never come: systemd would keep the timer and never start it.
        for (const auto &[month, day] :
             {std::pair{2, 30}, {2, 31}, {4, 31}, {6, 31}, {9, 31}, {11, 31}})
            refuses(u"Month %1 has no day %2"_s.arg(month).arg(day),
                    at(Interval{{"Month", month}, {"Day", day}}),
                    u"Month %1 has no Day %2, so it never comes"_s.arg(month).arg(day));
        refuses("Day and Weekday", at(Interval{{"Day", 1}, {"Weekday", 1}}), "Day and Weekday");
        refuses("an hour as text", at(Interval{{"Hour", "3h"}}), "Hour must be an integer");
        refuses("seconds", at(Interval{{"Second", 0}}), "\"Second\"");
        refuses("no interval in the array", at(QVariantList()), "empty");
        refuses("an interval that is a number", at(qint64(3)), "dictionary");
        refuses("no interval", at(QVariant()), "StartCalendarInterval is missing");
        refuses("KeepAlive", with(u"KeepAlive"_s, true), "\"KeepAlive\"");
        refuses("RunAtLoad true", with(u"RunAtLoad"_s, true), "RunAtLoad must be false");
        refuses("RunAtLoad as text", with(u"RunAtLoad"_s, u"false"_s), "must be a boolean");
        for (const QString &label : {u"../evil"_s, u"tmpl@x"_s, u"-flag"_s, QString(201, u'a')})
            refuses(u"the label "_s + label.left(20), with(u"Label"_s, label), "Label must be");
        refuses("no program", with(u"ProgramArguments"_s, QVariantList()), "non-empty array");
        refuses("a program by name", program(u"quillbrook"_s), "absolute");
        refuses("an argument that is a number",
                with(u"ProgramArguments"_s, QVariantList{u"/q"_s, qint64(1)}), "strings");
        refuses("a newline in an argument",
                with(u"ProgramArguments"_s, QVariantList{u"/q"_s, u"a\nb"_s}), "control");
        // Program paths systemd-analyze verify refuses, and the longest it takes.
        const QString longPath = (u"/"_s + QString(99, u'a')).repeated(41);
        for (const QString &path : {u"/opt/it's/q"_s, u"/opt/\"q\""_s, u"/opt/a\\b/q"_s})
            refuses(u"the program "_s + path, program(path), "with a quote or a backslash");
        refuses("a program path ending in a slash", program(u"/opt/q/"_s), "ending in \"/\"");
        loads("a program path of 4095 bytes", program(longPath.left(4095)), "*-*-* 03:00:00");
        refuses("a program path of 4096 bytes", program(longPath.left(4096)), "4096 bytes or more");
        loads("a name of 255 bytes in the program path", program(u"/"_s + QString(255, u'a')),
              "*-*-* 03:00:00");
        refuses("a name of 256 bytes in the program path", program(u"/"_s + QString(256, u'a')),
                "with a name longer than 255 bytes");
        refuses("a relative output path", with(u"StandardOutPath"_s, u"q.log"_s),
                "StandardOutPath is not an absolute");
        refuses("an output path through ..", with(u"StandardErrorPath"_s, u"/tmp/../q"_s),
                "StandardErrorPath has a \"..\"");
        refuses("an output path ending in a blank", with(u"StandardErrorPath"_s, u"/tmp/q "_s),
                "StandardErrorPath ends in a blank");
        // Read strictly: what the reader takes is no dictionary; what it refuses names the line.
        const QByteArray head =
            "<?xml version=\"1.0\"?>\n<!DOCTYPE plist>\n<plist version=\"1.0\">";
        const auto nested = [](int depth) {
            return QByteArray("<array>").repeated(depth) + QByteArray("</array>").repeated(depth);
        };
        refused("arrays nested as deep as allowed", head + nested(PlistMaxDepth) + "</plist>",
                "not a dictionary");
        refused("an integer among blanks",
                head + "<integer> -9223372036854775808\n</integer></plist>", "not a dictionary");
        using Named = std::initializer_list<std::pair<const char *, QByteArray>>;
        // clang-format off
        for (const auto &[name, body] : Named{
                 {"an unknown element", "<foo/>"},
                 {"an attribute", "<string id=\"1\">a</string>"},
                 {"text in true", "<true>yes</true>"},
                 {"a value without its key", "<dict><string>a</string></dict>"},
                 {"a key without its value", "<dict><key>a</key></dict>"},
                 {"a key twice", "<dict><key>a</key><true/><key>a</key><true/></dict>"},
                 {"two signs", "<integer>+-1</integer>"},
                 {"an integer above the largest", "<integer>9223372036854775808</integer>"},
                 {"an integer below the smallest", "<integer>-9223372036854775809</integer>"},
                 {"letters after digits", "<integer>12abc</integer>"},
                 {"an Arabic-Indic digit", "<integer>\xd9\xa3</integer>"},
                 {"control characters", "<dict>\x7f\x01</dict>"}})
            refused(name, head + body + "</plist>", "line ");
        for (const auto &[name, document] : Named{
                 {"an empty file", QByteArray()}, {"an unclosed plist", head + "<dict/>"},
                 {"version 2.0", "<plist version=\"2.0\"><dict/></plist>"},
                 {"more after the plist", head + "<dict/></plist><dict/>"},
                 {"entities that expand", "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a "
                     "\"aa\"><!ENTITY b \"&a;&a;\">]><plist version=\"1.0\"><string>&b;</string>"
                     "</plist>"},
                 {"another document type", "<!DOCTYPE html><plist><dict/></plist>"},
                 {"one level too deep", head + nested(PlistMaxDepth + 1) + "</plist>"}})
            refused(name, document, "line "); // clang-format on
        refused("a binary property list", QByteArray("bplist00\xd1\x01\x02", 11), "binary");
        refused("a document too large",
                head + "<string>" + QByteArray(PlistMaxBytes, 'a') + "</string></plist>", "larger");
        refused("a device", {}, "not a regular file", "/dev/zero");
        refused("a file that is not there", {}, "No such file", "/nonexistent/agent.plist");
    }
    // Loaded by the real tool: the timer's calendars, or a refusal with one line on standard
    // error, no unit written and no systemctl call.
    void documents()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, path);
        QFETCH(QString, reason);
        if (path.isEmpty())
            writeDocument(document);
        const ProgramRun loaded =
            runProgram(Tool, {u"load"_s, path.isEmpty() ? m_document : path}, environment());
        const QString timer = QString::fromUtf8(
            readRaw(QFile::encodeName(m_units + Label + u".timer"_s)).value_or(QByteArray()));
        if (reason.isEmpty()) {
            QCOMPARE(loaded.err + QString::number(loaded.exitCode), u"0"_s);
            QTEST(timer.split(u'\n').filter(u"OnCalendar="_s).join(u',').remove(u"OnCalendar="_s),
                  "calendars");
            return;
        }
        QCOMPARE(loaded.exitCode, 1);
        QVERIFY2(loaded.err.startsWith(u"quillbrook-agentctl: Cannot "_s) &&
                     loaded.err.count(u'\n') == 1 && loaded.err.contains(reason),
                 qPrintable(loaded.err.left(300)));
        QVERIFY(!exists(QFile::encodeName(m_home->configHome() + u"/systemd"_s)));
        QCOMPARE(m_systemctl->calls(), QStringList());
    }

    // A control character would make a document no reader takes: the writer refuses it instead.
    void writerRefusesWhatXmlCannotCarry()
    {
        QString error;
        QVERIFY(!serializeAgentPlist(with(u"Label"_s, u"a\u0001b"_s), &error));
        QCOMPARE(error, u"text contains characters XML cannot carry"_s);
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
            const ProgramRun result = runProgram(Tool, {u"load"_s, m_document}, env);
            QVERIFY2(result.exitCode == 0 &&
                         result.err.startsWith(u"quillbrook-agentctl: Warning: "_s) &&
                         result.err.contains(Label + u".timer is enabled"_s),
                     qPrintable(result.err));
            QVERIFY(QFileInfo(wantsLink()).isSymLink());
        }
        const QByteArray foreign = "[Service]\nExecStart=/bin/true\n";
        QVERIFY(writeRaw(QFile::encodeName(m_units + Label + u".service"_s), foreign));
        for (const QString &command : {u"load"_s, u"unload"_s}) {
            const ProgramRun result = runProgram(Tool, {command, m_document}, environment());
            QVERIFY2(result.exitCode == 1 && result.err.contains(u"not written by"_s),
                     qPrintable(result.err));
        }
        QCOMPARE(readRaw(QFile::encodeName(m_units + Label + u".service"_s)), foreign);
        QCOMPARE(m_systemctl->calls().size(), 1);
    }

    // Both programs run for real with no display reachable: none starts the tray app; Qt's own
    // options and the login entry's are no errors; an old screenshot stays where it is until
    // "--headless" asks for it, anywhere on the line (the program's own name too), unless a read or
    // undo is asked for too.
    void commandLines()
    {
        const QString app = TestHome::quillbrookExecutable();
        const QString usage = u"Usage: quillbrook-agentctl load|unload AGENT.plist\n"_s;
        const QString noDisplay = u"quillbrook: cannot open the tray app: no graphical display"_s;
        const QString notTogether = u" cannot be used together. Try 'quillbrook --help'.\n"_s;
        const QString shot = m_home->home() + u"/Desktop/Screenshot 1.png"_s;
        QVERIFY(QDir().mkpath(m_home->home() + u"/Desktop"_s) && writeRaw(QFile::encodeName(shot)));
        AppSettings(m_home->settingsFile(), m_home->home()).setAgeValue(-1);
        const FakeProgram asHeadless(m_home->home() + u"/as-headless"_s, 0,
                                     "exec /bin/bash -c 'exec -a --headless \"$0\" \"$@\"' '" +
                                         QFile::encodeName(app) + "' \"$@\"\n");
        const QList<std::tuple<QString, QString, int, QString>> rows = {
            {app, u"-h"_s, 0, u"Usage: quillbrook [OPTION]\n"_s},
            {app, u"-V"_s, 0, u"quillbrook 1.0.0\n"_s},
            {app, u"--bogus"_s, 2,
             u"quillbrook: Unknown option 'bogus'. Try 'quillbrook --help'.\n"_s},
            {app, u"--headless=1"_s, 2, u"quillbrook: Unexpected value after '--headless'."_s},
            {app, u"-headless"_s, 2, u"quillbrook: Unknown options: e, a, d"_s},
            {app, u"--preview --headless"_s, 2,
             u"quillbrook: --headless and --preview"_s + notTogether},
            {app, u"--headless --put-back"_s, 2,
             u"quillbrook: --headless and --put-back"_s + notTogether},
            {asHeadless.path(), u"--preview"_s, 2,
             u"quillbrook: --headless and --preview"_s + notTogether},
            {app, u"--preview --put-back"_s, 2,
             u"quillbrook: --preview and --put-back"_s + notTogether},
            {app, u""_s, 1,
             noDisplay + u" (DISPLAY=\"\", WAYLAND_DISPLAY=\"\"); use 'quillbrook --headless' to "
                         "run one cleanup without a display\n"_s},
            {app, u"--autostart -platform xcb --style=Fusion -reverse"_s, 1, noDisplay},
            {app, u"--preview"_s, 0, shot + u'\t'},
            {app, u"-v --help -- --headless"_s, 0, QString()},
            {Tool, u"--version"_s, 0, u"quillbrook-agentctl 1.0.0\n"_s},
            {Tool, u"load"_s, 2, usage},
            {Tool, u"load -w x"_s, 2, usage}};
        for (const auto &[program, arguments, status, text] : rows) {
            const ProgramRun result =
                runProgram(program, arguments.split(u' ', Qt::SkipEmptyParts), environment());
            QVERIFY2(result.exitCode == status &&
                         (status ? result.out.isEmpty() && result.err.startsWith(text)
                                 : result.out.startsWith(text)),
                     qPrintable(program + u' ' + arguments + u": "_s + result.err));
        }
        QVERIFY(!exists(QFile::encodeName(shot)));
        QCOMPARE(m_systemctl->calls(), QStringList());
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
