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

struct Run
{
    int exitCode = -1;
    QString out, err;
};

Run run(const QString &program, const QStringList &arguments, const QByteArray &input = {},
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
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

const char PlistlibToJson[] = "import json, plistlib, sys\n"
                              "print(json.dumps(plistlib.loads(sys.stdin.buffer.read())))";

} // namespace

// The schedule end to end: the document, its installation, the real quillbrook-agentctl against
// a stand-in systemctl, systemd-analyze's reading of the units and of the next run.
class TestAgentCtl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Central European time with its daylight-saving rules, here and in systemd-analyze.
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        tzset();
    }
    void init()
    {
        m_home = std::make_unique<TestHome>();
        QVERIFY(QDir().mkpath(m_home->home() + u"/bin"_s));
        m_systemctl = std::make_unique<FakeProgram>(m_home->home() + u"/bin/systemctl"_s, 0,
                                                    "exit ${FAKE_SYSTEMCTL_STATUS:-0}\n");
        // The program the units start: a blank, "%" and "$" in its path must reach systemd intact.
        const QString folder = m_home->home() + u"/Quill Brook %h 100% $HOME"_s;
        QVERIFY(QDir().mkpath(folder));
        m_program = FakeProgram(folder + u"/quillbrook"_s).path();
        // A blank in the agent folder: each path must reach the tool as one argument.
        m_context = {m_home->configHome() + u"/quill brook/LaunchAgents"_s, tool(0)};
        m_document = agentFilePath(m_context);
        QVERIFY(QDir().mkpath(m_context.agentFolder));
        m_units = m_home->configHome() + u"/systemd/user/"_s;
    }
    void cleanup() { m_home.reset(); }

    // Python's plistlib reads the document independently; JSON keeps false, 0 and "0" apart.
    void document_data()
    {
        QTest::addColumn<Frequency>("frequency");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("interval");
        QTest::newRow("hourly") << Frequency::Hourly << u"/a b/& <T>/\"q\" 'b'"_s
                                << u"{\"Minute\":0}"_s;
        QTest::newRow("daily") << Frequency::Daily << u"/q"_s << u"{\"Hour\":5,\"Minute\":0}"_s;
        QTest::newRow("weekly") << Frequency::Weekly << u"/zoë/日本/q"_s
                                << u"{\"Weekday\":0,\"Hour\":5,\"Minute\":0}"_s;
    }
    void document()
    {
        QFETCH(Frequency, frequency);
        QFETCH(QString, program);
        QFETCH(QString, interval);
        const QVariantMap plist = makeAgentPlist(frequency, 5, program);
        const QByteArray bytes = serializeAgentPlist(plist).value_or(QByteArray());
        const QString json = run(u"python3"_s, {u"-c"_s, QLatin1String(PlistlibToJson)}, bytes).out;
        const QString output = m_home->stateHome() + u"/quillbrook/quillbrook."_s;
        const QJsonObject expected{
            {u"Label"_s, Label},
            {u"ProgramArguments"_s, QJsonArray{program, u"--headless"_s}},
            {u"StartCalendarInterval"_s, QJsonDocument::fromJson(interval.toUtf8()).object()},
            {u"RunAtLoad"_s, false},
            {u"StandardOutPath"_s, output + u"log"_s},
            {u"StandardErrorPath"_s, output + u"err"_s}};
        QCOMPARE(QJsonDocument::fromJson(json.toUtf8()).object(), expected);
        QCOMPARE(readXmlPlist(bytes).value_or(QVariant()), QVariant(plist));
        for (const QVariant &bad : {QVariant(u"a\x01"_s), QVariant(QString(QChar(0xD800))),
                                    QVariant(QVariantList{QVariant(1.5)})})
            QVERIFY(!writeXmlPlist(QVariantMap{{u"Key"_s, bad}}));
    }

    void schedule_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expected"); // the tool's calls
        QTest::newRow("first enabling") << QStringList{u"on Daily 3"_s} << QStringList{u"load"_s};
        QTest::newRow("hour changed") << QStringList{u"on Daily 3"_s, u"on Daily 4"_s}
                                      << QStringList{u"load"_s, u"unload"_s, u"load"_s};
        QTest::newRow("changed while off") << QStringList{u"off Weekly 5"_s} << QStringList{};
        QTest::newRow("disabled twice")
            << QStringList{u"on Hourly 3"_s, u"off Daily 3"_s, u"off Daily 3"_s}
            << QStringList{u"load"_s, u"unload"_s};
        QTest::newRow("file deleted behind our back")
            << QStringList{u"on Daily 3"_s, u"delete"_s, u"off Daily 3"_s}
            << QStringList{u"load"_s};
    }
    // Drives applySchedule() the way the panel does: store a setting, then apply.
    void schedule()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        AppSettings settings(m_home->settingsFile(), m_home->home());
        for (const QString &step : steps) {
            const QStringList words = step.split(u' ');
            if (words.first() == u"delete"_s && QFile::remove(m_document))
                continue;
            settings.setEnabled(words.at(0) == u"on"_s);
            settings.setFrequency(frequencyFromRaw(words.at(1)).value());
            settings.setHourOfDay(words.at(2).toLongLong());
            applySchedule(settings, m_context);
        }
        for (QString &call : expected)
            call += u"|"_s + m_document;
        QCOMPARE(m_tool->calls(), expected);
        const std::optional<QByteArray> bytes = readRaw(QFile::encodeName(m_document));
        QCOMPARE(bytes.has_value(), settings.enabled());
        if (bytes)
            QCOMPARE(readXmlPlist(*bytes).value_or(QVariant()),
                     QVariant(makeAgentPlist(settings.frequency(), settings.hourOfDay())));
        // systemd fails the run when the output folder is missing; nobody else may read it.
        struct stat st = {};
        const bool made = stat(QFile::encodeName(agentOutputFolder()).constData(), &st) == 0;
        QCOMPARE(made ? int(st.st_mode & 07777) : 0, expected.isEmpty() ? 0 : 0700);
    }

    void installerFailures()
    {
        LogCapture log;
        m_context.toolPath = tool(3);
        QString error;
        QVERIFY2(installAgent(Frequency::Daily, 3, m_context, &error), qPrintable(error));
        QVERIFY(exists(QFile::encodeName(m_document))); // a failing load leaves the file
        QCOMPARE(m_tool->calls(), QStringList{u"load|"_s + m_document});
        QCOMPARE(runLaunchctl({u"x"_s}, m_context), 3);
        m_context.toolPath = m_home->home() + u"/no-such-tool"_s;
        QCOMPARE(runLaunchctl({u"load"_s}, m_context), -1);
        QVERIFY2(log.lines.size() == 1 && log.lines.first().startsWith(u"launchctl failed: "_s) &&
                     log.lines.first().size() > 18,
                 qPrintable(log.lines.join(u'\n')));
        removeAgent(m_context); // without the tool the file still goes
        QVERIFY(!exists(QFile::encodeName(m_document)));
        QVERIFY(writeRaw(QFile::encodeName(m_home->home() + u"/file"_s)));
        m_context = {m_home->home() + u"/file/LaunchAgents"_s, tool(0)};
        QVERIFY(!installAgent(Frequency::Daily, 3, m_context, &error));
        QVERIFY2(error.startsWith(u"Cannot create the folder "_s + m_context.agentFolder + u": "_s),
                 qPrintable(error));
        QCOMPARE(m_tool->calls(), QStringList());
    }

    void load_data()
    {
        QTest::addColumn<Frequency>("frequency");
        QTest::addColumn<QStringList>("more"); // further arguments
        QTest::addColumn<QString>("calendar"); // as systemd normalises it
        QTest::newRow("hourly") << Frequency::Hourly << QStringList() << u"*-*-* *:00:00"_s;
        QTest::newRow("daily") << Frequency::Daily << QStringList() << u"*-*-* 03:00:00"_s;
        QTest::newRow("weekly, quotes, % and $")
            << Frequency::Weekly << QStringList{u"1% \"q\" \\ $HOME ${P} %h"_s, QString()}
            << u"Sun *-*-* 03:00:00"_s;
    }
    // A document as a user's own tool would write it (plistlib), loaded for real, then unloaded.
    void load()
    {
        QFETCH(Frequency, frequency);
        QFETCH(QStringList, more);
        QFETCH(QString, calendar);
        QVariantMap plist = makeAgentPlist(frequency, 3, m_program);
        plist.insert(u"ProgramArguments"_s, QStringList{m_program, u"--headless"_s} + more);
        plist.insert(u"StandardOutPath"_s, m_home->home() + u"/100% $out.log"_s);
        const QString dump = u"import json, plistlib, sys\n"_s
                             "plistlib.dump(json.load(sys.stdin), open(sys.argv[1], 'wb'))"_s;
        QCOMPARE(run(u"python3"_s, {u"-c"_s, dump, m_document},
                     QJsonDocument(QJsonObject::fromVariantMap(plist)).toJson())
                     .exitCode,
                 0);
        const Run loaded = run(Tool, {u"load"_s, m_document}, {}, environment());
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
        const QString parsed = run(u"systemd-analyze"_s, verify, {}, debug).out;
        // systemd keeps "$$" in the stored arguments and makes it "$" only when it starts the
        // program; the path itself is taken as it is.
        QStringList words = plist.value(u"ProgramArguments"_s).toStringList();
        for (qsizetype i = 1; i < words.size(); ++i)
            words[i].replace(u"$"_s, u"$$"_s);
        QCOMPARE(dumpedWords(capture(parsed, u"^\\s*Command Line: (.*)$"_s)), words);
        QCOMPARE(capture(parsed, u"^\\s*StandardOutputFileToAppend: (.*)$"_s),
                 plist.value(u"StandardOutPath"_s).toString());
        QCOMPARE(capture(parsed, u"^\\s*StandardErrorFileToAppend: (.*)$"_s),
                 m_home->stateHome() + u"/quillbrook/quillbrook.err"_s);
        QVERIFY(parsed.contains(u"Persistent: yes"_s));
        const QString timer = QString::fromUtf8(readRaw(QFile::encodeName(verify.last())).value());
        const Run normal =
            run(u"systemd-analyze"_s, {u"calendar"_s, capture(timer, u"^OnCalendar=(.*)$"_s)});
        QCOMPARE(capture(normal.out, u"Normalized form: (.*)$"_s), calendar);

        // What a user manager leaves once the timer has run.
        const QByteArray stamp = QFile::encodeName(
            m_home->dataHome() + u"/systemd/timers/stamp-"_s + Label + u".timer"_s);
        QVERIFY(QDir().mkpath(QFileInfo(stamp).path()) && writeRaw(stamp));
        writeDocument("<plist>damaged"); // unloads by the file name all the same
        QCOMPARE(run(Tool, {u"unload"_s, m_document}, {}, environment()).err, QString());
        QCOMPARE(m_systemctl->calls().mid(2),
                 QStringList({u"--user|stop|"_s + Label + u".timer"_s, u"--user|daemon-reload"_s}));
        QCOMPARE(unitFiles() + QList<QByteArray>{exists(stamp) ? stamp : ""}, {""});
        // Already gone is success, and nothing asks the manager again.
        QCOMPARE(run(Tool, {u"unload"_s, m_document}, {}, environment()).exitCode, 0);
        QCOMPARE(m_systemctl->calls().size(), 4);
    }

    // Without a reachable user manager the timer is still enabled, for the next session.
    void noUserManager()
    {
        for (const bool withSystemctl : {false, true}) {
            QProcessEnvironment env = environment(withSystemctl);
            env.insert(u"FAKE_SYSTEMCTL_STATUS"_s, u"1"_s);
            writeDocument(*serializeAgentPlist(makeAgentPlist(Frequency::Daily, 3, m_program)));
            const Run result = run(Tool, {u"load"_s, m_document}, {}, env);
            QCOMPARE(result.exitCode, 0);
            QVERIFY2(result.err.startsWith(u"quillbrook-agentctl: Warning: "_s) &&
                         result.err.contains(Label + u".timer is enabled"_s),
                     qPrintable(result.err));
            QCOMPARE(QFileInfo(wantsLink()).symLinkTarget(), m_units + Label + u".timer"_s);
            QCOMPARE(m_systemctl->calls().size(), withSystemctl ? 1 : 0);
        }
    }

    void rejects_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("path"); // empty: the document at the usual place
        const QByteArray good = *serializeAgentPlist(makeAgentPlist(Frequency::Daily, 3, u"/q"_s));
        const auto row = [](const char *name, const QByteArray &bytes, const char *path = "") {
            QTest::newRow(name) << bytes << QString::fromLatin1(path);
        };
        row("hour 24", *serializeAgentPlist(makeAgentPlist(Frequency::Weekly, 24)));
        row("empty", QByteArray());
        row("truncated", good.chopped(20));
        row("NUL", QByteArray(good).insert(good.indexOf("<dict>") + 6, '\0'));
        row("unknown key", QByteArray(good).replace("<dict>", "<dict><key>Keep</key><true/>"));
        row("hour as text", QByteArray(good).replace("<integer>3<", "<string>3<"));
        row("label escaping", QByteArray(good).replace(Label.toLatin1(), "../../evil"));
        row("2 MB string", QByteArray(good).replace("/q", "/" + QByteArray(2 << 20, 'a')));
        for (const char *path : {"/dev/zero", "/dev/urandom", "/", "/nonexistent/agent.plist"})
            row(path, QByteArray(), path);
    }
    // Refused with one line on standard error; no unit written, no systemctl call.
    void rejects()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, path);
        if (path.isEmpty())
            writeDocument(document);
        const Run result =
            run(Tool, {u"load"_s, path.isEmpty() ? m_document : path}, {}, environment());
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.startsWith(u"quillbrook-agentctl: Cannot "_s) &&
                     result.err.count(u'\n') == 1,
                 qPrintable(result.err.left(300)));
        QVERIFY(!exists(QFile::encodeName(m_home->configHome() + u"/systemd"_s)));
        QCOMPARE(m_systemctl->calls(), QStringList());
    }

    void foreignUnitsLeftAlone()
    {
        QVERIFY(QDir().mkpath(m_units));
        const QByteArray mine = QFile::encodeName(m_units + Label + u".service"_s);
        QVERIFY(writeRaw(mine, "[Service]\nExecStart=/bin/true\n"));
        writeDocument(*serializeAgentPlist(makeAgentPlist(Frequency::Daily, 3, m_program)));
        for (const QString &command : {u"load"_s, u"unload"_s}) {
            const Run result = run(Tool, {command, m_document}, {}, environment());
            QVERIFY2(result.exitCode == 1 && result.err.contains(u"not written by"_s),
                     qPrintable(result.err));
        }
        QCOMPARE(readRaw(mine).value(), QByteArray("[Service]\nExecStart=/bin/true\n"));
        QCOMPARE(unitFiles(), QList<QByteArray>{Label.toLatin1() + ".service"});
        QCOMPARE(m_systemctl->calls(), QStringList());
    }

    void usage()
    {
        for (const QString &line :
             u"0 --help,0 --version,2 -h,2,2 load,2 start x,2 load -w x"_s.split(u',')) {
            const QStringList words = line.split(u' ');
            const Run result = run(Tool, words.mid(1), {}, environment());
            const QString text = words.value(1) == u"--version"_s ? u"quillbrook-agentctl 1.0.0\n"_s
                                                                  : u"Usage: quillbrook-agentctl"_s;
            QVERIFY2(result.exitCode == words.first().toInt() &&
                         (result.exitCode ? result.err : result.out).startsWith(text),
                     qPrintable(line));
        }
        QCOMPARE(m_systemctl->calls(), QStringList());
    }

    void nextRun_data()
    {
        QTest::addColumn<QString>("row"); // frequency, hour, local time now
        for (const QString &row : u"Hourly 9 2026-12-06 22:30:00,Hourly 9 2026-12-06 22:00:00,"
                                  "Hourly 9 2026-12-31 23:59:59,Hourly 9 2026-03-29 01:30:00,"
                                  "Hourly 9 2026-10-25 02:30:00,Daily 3 2026-12-06 01:10:00,"
                                  "Daily 3 2026-12-06 03:00:00,Daily 23 2026-12-31 23:30:00,"
                                  "Daily 2 2026-03-29 01:00:00,Daily 2 2026-10-25 01:30:00,"
                                  "Weekly 17 2026-12-06 16:59:59,Weekly 17 2026-12-06 17:00:00,"
                                  "Weekly 0 2026-12-05 23:00:00,Weekly 4 2026-12-07 05:00:00,"
                                  "Weekly 2 2026-03-28 12:00:00"_s.split(u','))
            QTest::newRow(qPrintable(row)) << row;
    }
    // The timer's own calendar, and systemd's reckoning of its next elapse.
    void nextRun()
    {
        QFETCH(QString, row);
        const Frequency frequency = frequencyFromRaw(row.section(u' ', 0, 0)).value();
        const qint64 hour = row.section(u' ', 1, 1).toLongLong();
        const QDateTime now = QDateTime::fromString(row.section(u' ', 2), u"yyyy-MM-dd HH:mm:ss"_s);
        const std::optional<AgentJob> job =
            agentJobFromPlist(makeAgentPlist(frequency, hour, u"/q"_s));
        QVERIFY(job && now.isValid());
        const QString text =
            run(u"systemd-analyze"_s, {u"calendar"_s, u"--iterations=1"_s,
                                       u"--base-time=@"_s + QString::number(now.toSecsSinceEpoch()),
                                       job->calendars.first()})
                .out;
        const QString utc = capture(text, u"\\(in UTC\\): \\w+ (\\S+ \\S+) UTC"_s);
        QVERIFY2(!utc.isEmpty(), qPrintable(text));
        QCOMPARE(nextRunTime(frequency, hour, now).toUTC().toString(u"yyyy-MM-dd HH:mm:ss"_s), utc);
    }

private:
    // A stand-in for the tool that records its arguments, and whether the document was missing.
    QString tool(int status)
    {
        m_tool = std::make_unique<FakeProgram>(m_home->home() + u"/tool-%1"_s.arg(status), status,
                                               "[ -e \"$2\" ] || echo absent >> \"$0.calls\"\n");
        return m_tool->path();
    }
    QProcessEnvironment environment(bool withSystemctl = true) const
    {
        QProcessEnvironment env = m_home->processEnvironment();
        env.insert(u"PATH"_s, m_home->home() + (withSystemctl ? u"/bin"_s : u"/empty"_s));
        return env;
    }
    void writeDocument(const QByteArray &bytes)
    {
        QVERIFY(writeRaw(QFile::encodeName(m_document), bytes));
    }
    QString wantsLink() const { return m_units + u"timers.target.wants/"_s + Label + u".timer"_s; }
    QList<QByteArray> unitFiles() const
    {
        QList<QByteArray> names = namesIn(QFile::encodeName(m_units));
        names.removeAll("timers.target.wants");
        return names + namesIn(QFile::encodeName(m_units + u"timers.target.wants"_s));
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<FakeProgram> m_systemctl, m_tool;
    AgentContext m_context;
    QString m_program, m_document, m_units;
};

QTEST_GUILESS_MAIN(TestAgentCtl)
#include "tst_agentctl.moc"
