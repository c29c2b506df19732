#include "TestHome.h"

#include "agent/AgentInstaller.h"
#include "agent/AgentPlist.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString Tool = QStringLiteral(QUILLBROOK_BINARY_DIR "/quillbrook-agentctl");

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// The words of a command line as systemd prints it in its unit dump (shell-style quoting).
QStringList splitDumpedCommandLine(const QString &line)
{
    QStringList words;
    QString word;
    bool quoted = false;
    bool inWord = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == u'\\' && i + 1 < line.size()) {
            word += line.at(++i);
            inWord = true;
        } else if (c == u'"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == u' ' && !quoted) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

QString firstCapture(const QString &text, const QString &pattern)
{
    return QRegularExpression(pattern, QRegularExpression::MultilineOption).match(text).captured(1);
}

} // namespace

class TestAgentCtl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void load_data();
    void load();
    void noUserManager_data();
    void noUserManager();
    void unloadLeavesNothing();
    void rejects_data();
    void rejects();
    void foreignUnitsLeftAlone();
    void usage_data();
    void usage();
    void withInstaller();

private:
    QProcessEnvironment environment(bool withSystemctl = true) const;
    QStringList systemctlCalls() const;
    bool writeWithPlistlib(const QVariantMap &plist, const QString &path) const;
    QString unitFolder() const { return m_home->configHome() + u"/systemd/user"_s; }
    QString unit(const QString &suffix) const
    {
        return unitFolder() + u"/"_s + QString::fromLatin1(AgentLabel) + suffix;
    }
    QString wantsLink() const
    {
        return unitFolder() + u"/timers.target.wants/"_s + QString::fromLatin1(AgentLabel) +
               u".timer"_s;
    }
    QStringList filesUnder(const QString &folder) const;

    std::unique_ptr<TestHome> m_home;
    QString m_bin;
    QString m_systemctlLog;
    QString m_document;
    QString m_program;
};

void TestAgentCtl::initTestCase()
{
    QVERIFY2(QFileInfo(Tool).isExecutable(), qPrintable(Tool));
}

void TestAgentCtl::init()
{
    m_home = std::make_unique<TestHome>();
    m_bin = m_home->home() + u"/bin"_s;
    m_systemctlLog = m_home->home() + u"/systemctl.log"_s;
    QVERIFY(QDir().mkpath(m_bin));
    QFile fake(m_bin + u"/systemctl"_s);
    QVERIFY(fake.open(QIODevice::WriteOnly));
    fake.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + QFile::encodeName(m_systemctlLog) +
               "'\nexit ${FAKE_SYSTEMCTL_STATUS:-0}\n");
    fake.close();
    QVERIFY(fake.setPermissions(fake.permissions() | QFile::ExeOwner));

    // The program the units start: a blank, "%" and "$" in its path must reach systemd intact.
    const QString folder = m_home->home() + u"/Quill Brook %h 100% $HOME"_s;
    QVERIFY(QDir().mkpath(folder));
    m_program = folder + u"/quillbrook"_s;
    QFile program(m_program);
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.write("#!/bin/sh\n");
    program.close();
    QVERIFY(program.setPermissions(program.permissions() | QFile::ExeOwner));

    m_document = m_home->configHome() + u"/quillbrook/LaunchAgents/"_s +
                 QString::fromLatin1(AgentLabel) + u".plist"_s;
    QVERIFY(QDir().mkpath(QFileInfo(m_document).absolutePath()));
}

void TestAgentCtl::cleanup()
{
    m_home.reset();
}

QProcessEnvironment TestAgentCtl::environment(bool withSystemctl) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"PATH"_s, withSystemctl ? m_bin : m_home->home() + u"/empty"_s);
    return env;
}

QStringList TestAgentCtl::systemctlCalls() const
{
    QFile log(m_systemctlLog);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

// A document as a user's own tool would write it: Python's plistlib.
bool TestAgentCtl::writeWithPlistlib(const QVariantMap &plist, const QString &path) const
{
    QProcess python;
    python.start(u"python3"_s,
                 {u"-c"_s,
                  u"import json, plistlib, sys\n"
                  "with open(sys.argv[1], 'wb') as f: plistlib.dump(json.load(sys.stdin), f)\n"_s,
                  path});
    python.write(QJsonDocument(QJsonObject::fromVariantMap(plist)).toJson());
    python.closeWriteChannel();
    return python.waitForFinished(-1) && python.exitCode() == 0;
}

QStringList TestAgentCtl::filesUnder(const QString &folder) const
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::System | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

void TestAgentCtl::load_data()
{
    QTest::addColumn<Frequency>("frequency");
    QTest::addColumn<qint64>("hour");
    QTest::addColumn<QStringList>("moreArguments");
    QTest::addColumn<QString>("calendar"); // as systemd normalises it

    QTest::newRow("hourly") << Frequency::Hourly << qint64(3) << QStringList()
                            << u"*-*-* *:00:00"_s;
    QTest::newRow("daily") << Frequency::Daily << qint64(3) << QStringList() << u"*-*-* 03:00:00"_s;
    QTest::newRow("weekly") << Frequency::Weekly << qint64(17) << QStringList()
                            << u"Sun *-*-* 17:00:00"_s;
    QTest::newRow("arguments with quotes, % and $")
        << Frequency::Daily << qint64(0)
        << QStringList{u"100% \"quoted\" \\ $HOME ${PATH} %h"_s, QString()} << u"*-*-* 00:00:00"_s;
}

void TestAgentCtl::load()
{
    if (QStandardPaths::findExecutable(u"python3"_s).isEmpty())
        QSKIP("python3 is not installed");
    if (QStandardPaths::findExecutable(u"systemd-analyze"_s).isEmpty())
        QSKIP("systemd-analyze is not installed (Debian package systemd)");
    QFETCH(Frequency, frequency);
    QFETCH(qint64, hour);
    QFETCH(QStringList, moreArguments);
    QFETCH(QString, calendar);

    QVariantMap plist = makeAgentPlist(frequency, hour, m_program);
    plist.insert(u"ProgramArguments"_s, QStringList{m_program, u"--headless"_s} + moreArguments);
    const QString outPath = m_home->home() + u"/logs/100% out.log"_s;
    plist.insert(u"StandardOutPath"_s, outPath);
    QVERIFY(writeWithPlistlib(plist, m_document));

    const Run result = run(Tool, {u"load"_s, m_document}, environment());
    QCOMPARE(result.err, QString());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(systemctlCalls(), QStringList({u"--user daemon-reload"_s,
                                            u"--user start org.quillbrook.cleanup.timer"_s}));
    QCOMPARE(QFileInfo(wantsLink()).symLinkTarget(), unit(u".timer"_s));

    // systemd's own reading of the units: verify fails on any error, the start of a program
    // that does not exist included, so a mangled path cannot pass; it stays silent when all is
    // well. At debug level it also dumps the units as it parsed them, on standard output.
    const QStringList verifyArguments = {u"verify"_s, u"--man=no"_s, u"--generators=no"_s,
                                         unit(u".service"_s), unit(u".timer"_s)};
    const Run verify = run(u"systemd-analyze"_s, verifyArguments);
    QVERIFY2(verify.exitCode == 0 && verify.err.isEmpty(), qPrintable(verify.err));
    QProcessEnvironment debugEnv = QProcessEnvironment::systemEnvironment();
    debugEnv.insert(u"SYSTEMD_LOG_LEVEL"_s, u"debug"_s);
    const Run dump = run(u"systemd-analyze"_s, verifyArguments, debugEnv);
    QCOMPARE(dump.exitCode, 0);

    // systemd keeps "$$" in the stored arguments and turns it into "$" only when it starts the
    // program; the path itself is taken as it is.
    QStringList stored = plist.value(u"ProgramArguments"_s).toStringList();
    for (qsizetype i = 1; i < stored.size(); ++i)
        stored[i].replace(u"$"_s, u"$$"_s);
    const QString commandLine = firstCapture(dump.out, u"^\\s*Command Line: (.*)$"_s);
    QCOMPARE(splitDumpedCommandLine(commandLine), stored);
    QCOMPARE(firstCapture(dump.out, u"^\\s*StandardOutputFileToAppend: (.*)$"_s), outPath);
    QCOMPARE(firstCapture(dump.out, u"^\\s*StandardErrorFileToAppend: (.*)$"_s),
             u"/tmp/quillbrook.err"_s);
    QVERIFY(dump.out.contains(u"Persistent: yes"_s));

    QFile timer(unit(u".timer"_s));
    QVERIFY(timer.open(QIODevice::ReadOnly));
    const QString onCalendar =
        firstCapture(QString::fromUtf8(timer.readAll()), u"^OnCalendar=(.*)$"_s);
    const Run normalised = run(u"systemd-analyze"_s, {u"calendar"_s, onCalendar});
    QCOMPARE(normalised.exitCode, 0);
    QCOMPARE(firstCapture(normalised.out, u"Normalized form: (.*)$"_s), calendar);
}

void TestAgentCtl::noUserManager_data()
{
    QTest::addColumn<bool>("withSystemctl");
    QTest::newRow("no systemctl on PATH") << false;
    QTest::newRow("systemctl --user fails") << true;
}

void TestAgentCtl::noUserManager()
{
    QFETCH(bool, withSystemctl);
    QProcessEnvironment env = environment(withSystemctl);
    env.insert(u"FAKE_SYSTEMCTL_STATUS"_s, u"1"_s);
    QFile document(m_document);
    QVERIFY(document.open(QIODevice::WriteOnly));
    document.write(*serializeAgentPlist(makeAgentPlist(Frequency::Daily, 3, m_program)));
    document.close();

    const Run result = run(Tool, {u"load"_s, m_document}, env);
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.startsWith(u"quillbrook-agentctl: warning: "_s) &&
                 result.err.contains(u"org.quillbrook.cleanup.timer is enabled"_s),
             qPrintable(result.err));
    // Enabled all the same, for the next session.
    QVERIFY(QFileInfo::exists(unit(u".service"_s)));
    QCOMPARE(QFileInfo(wantsLink()).symLinkTarget(), unit(u".timer"_s));
    QCOMPARE(systemctlCalls().size(), withSystemctl ? 1 : 0);
}

void TestAgentCtl::unloadLeavesNothing()
{
    QFile document(m_document);
    QVERIFY(document.open(QIODevice::WriteOnly));
    document.write(*serializeAgentPlist(makeAgentPlist(Frequency::Weekly, 5, m_program)));
    document.close();
    QCOMPARE(run(Tool, {u"load"_s, m_document}, environment()).exitCode, 0);
    QVERIFY(QFile::remove(m_systemctlLog));
    // What a user manager leaves once the timer has run.
    const QString stamp =
        m_home->dataHome() + u"/systemd/timers/stamp-org.quillbrook.cleanup.timer"_s;
    QVERIFY(QDir().mkpath(QFileInfo(stamp).absolutePath()));
    QVERIFY(QFile(stamp).open(QIODevice::WriteOnly));

    const Run result = run(Tool, {u"unload"_s, m_document}, environment());
    QCOMPARE(result.err, QString());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(systemctlCalls(), QStringList({u"--user stop org.quillbrook.cleanup.timer"_s,
                                            u"--user daemon-reload"_s}));
    QCOMPARE(filesUnder(unitFolder()), QStringList());
    QVERIFY(!QFileInfo(wantsLink()).isSymLink());
    QVERIFY(!QFileInfo::exists(stamp));

    // Already gone is success, and nothing asks the manager again.
    QVERIFY(QFile::remove(m_systemctlLog));
    QCOMPARE(run(Tool, {u"unload"_s, m_document}, environment()).exitCode, 0);
    QCOMPARE(systemctlCalls(), QStringList());

    // A document that is gone or damaged still unloads by its file name.
    QCOMPARE(run(Tool, {u"load"_s, m_document}, environment()).exitCode, 0);
    QVERIFY(document.open(QIODevice::WriteOnly));
    document.write("<plist>damaged");
    document.close();
    QCOMPARE(run(Tool, {u"unload"_s, m_document}, environment()).exitCode, 0);
    QCOMPARE(filesUnder(unitFolder()), QStringList());
}

void TestAgentCtl::rejects_data()
{
    QTest::addColumn<QByteArray>("document");

    const QVariantMap good = makeAgentPlist(Frequency::Daily, 3, u"/usr/bin/quillbrook"_s);
    QTest::newRow("hour 24") << *serializeAgentPlist(makeAgentPlist(Frequency::Weekly, 24));
    QTest::newRow("not XML") << QByteArray("Label=org.quillbrook.cleanup\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("binary property list") << QByteArray("bplist00\xd0\x08\0\0\0\0\0", 15);
    QTest::newRow("truncated") << serializeAgentPlist(good)->chopped(20);
    QVariantMap unknown = good;
    unknown.insert(u"KeepAlive"_s, true);
    QTest::newRow("unknown key") << *serializeAgentPlist(unknown);
    QVariantMap textHour = good;
    textHour.insert(u"StartCalendarInterval"_s, QVariantMap{{u"Hour"_s, u"3"_s}});
    QTest::newRow("hour as text") << *serializeAgentPlist(textHour);
    QVariantMap escaping = good;
    escaping.insert(u"Label"_s, u"../../evil"_s);
    QTest::newRow("label leaving the folder") << *serializeAgentPlist(escaping);
}

void TestAgentCtl::rejects()
{
    QFETCH(QByteArray, document);
    QFile file(m_document);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(document);
    file.close();

    const Run result = run(Tool, {u"load"_s, m_document}, environment());
    QVERIFY(result.exitCode != 0);
    QVERIFY2(result.err.startsWith(u"quillbrook-agentctl: "_s) && result.err.count(u'\n') == 1,
             qPrintable(result.err));
    QVERIFY(!QFileInfo::exists(m_home->configHome() + u"/systemd"_s));
    QCOMPARE(systemctlCalls(), QStringList());
}

void TestAgentCtl::foreignUnitsLeftAlone()
{
    QVERIFY(QDir().mkpath(unitFolder()));
    QFile mine(unit(u".service"_s));
    QVERIFY(mine.open(QIODevice::WriteOnly));
    mine.write("[Service]\nExecStart=/bin/true\n");
    mine.close();
    QFile document(m_document);
    QVERIFY(document.open(QIODevice::WriteOnly));
    document.write(*serializeAgentPlist(makeAgentPlist(Frequency::Daily, 3, m_program)));
    document.close();

    for (const QString &command : {u"load"_s, u"unload"_s}) {
        const Run result = run(Tool, {command, m_document}, environment());
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(u"was not written by quillbrook-agentctl"_s),
                 qPrintable(result.err));
    }
    QVERIFY(mine.open(QIODevice::ReadOnly));
    QCOMPARE(mine.readAll(), QByteArray("[Service]\nExecStart=/bin/true\n"));
    QCOMPARE(filesUnder(unitFolder()), QStringList{unit(u".service"_s)});
    QCOMPARE(systemctlCalls(), QStringList());
}

void TestAgentCtl::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("help") << QStringList{u"--help"_s} << 0;
    QTest::newRow("nothing") << QStringList() << 2;
    QTest::newRow("load without path") << QStringList{u"load"_s} << 2;
    QTest::newRow("unknown command") << QStringList{u"start"_s, u"x.plist"_s} << 2;
    QTest::newRow("extra argument") << QStringList{u"load"_s, u"-w"_s, u"x.plist"_s} << 2;
}

void TestAgentCtl::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    const Run result = run(Tool, arguments, environment());
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY((exitCode == 0 ? result.out : result.err).startsWith(u"usage: quillbrook-agentctl"_s));
    QCOMPARE(systemctlCalls(), QStringList());
}

// The application's side and the tool together, as the panel drives them.
void TestAgentCtl::withInstaller()
{
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_bin));
    const AgentContext context{QFileInfo(m_document).absolutePath(), Tool};

    QVERIFY(installAgent(Frequency::Daily, 4, context));
    QVERIFY(installAgent(Frequency::Weekly, 6, context));
    QFile timer(unit(u".timer"_s));
    QVERIFY(timer.open(QIODevice::ReadOnly));
    QVERIFY(timer.readAll().contains("\nOnCalendar=Sun *-*-* 06:00:00\n"));
    QCOMPARE(QFileInfo(wantsLink()).symLinkTarget(), unit(u".timer"_s));

    removeAgent(context);
    qputenv("PATH", savedPath);
    QVERIFY(!QFileInfo::exists(m_document));
    QCOMPARE(filesUnder(unitFolder()), QStringList());
    QCOMPARE(systemctlCalls().count(u"--user daemon-reload"_s), 4);
}

QTEST_GUILESS_MAIN(TestAgentCtl)
#include "tst_agentctl.moc"
