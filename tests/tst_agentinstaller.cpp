#include "TestHome.h"

#include "agent/AgentInstaller.h"
#include "agent/AgentPlist.h"
#include "agentctl/PlistReader.h"
#include "platform/Log.h"
#include "settings/AppSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

class TestAgentInstaller : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void standardContext();
    void schedule_data();
    void schedule();
    void failingLoadLeavesFile();
    void missingTool();
    void folderCannotBeCreated();

private:
    // A stand-in for the tool that records its arguments, and whether the document existed
    // when it ran, one call per line.
    QString writeFakeTool(int exitStatus);
    QStringList calls() const;
    QString call(const QString &command, bool documentPresent) const;

    std::unique_ptr<TestHome> m_home;
    AgentContext m_context;
    QString m_log;
};

void TestAgentInstaller::init()
{
    m_home = std::make_unique<TestHome>();
    m_log = m_home->home() + u"/tool.log"_s;
    // A blank in the folder shows that each path reaches the tool as one argument.
    m_context.agentFolder = m_home->configHome() + u"/quill brook/LaunchAgents"_s;
    m_context.toolPath = writeFakeTool(0);
}

void TestAgentInstaller::cleanup()
{
    m_home.reset();
}

QString TestAgentInstaller::writeFakeTool(int exitStatus)
{
    const QString path = m_home->home() + u"/fake-tool-%1"_s.arg(exitStatus);
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        qFatal("cannot write the fake tool");
    script.write("#!/bin/sh\n"
                 "if [ -e \"$2\" ]; then state=present; else state=absent; fi\n"
                 "printf '%s|%s|%s|%s\\n' \"$#\" \"$1\" \"$2\" \"$state\" >> '" +
                 QFile::encodeName(m_log) + "'\nexit " + QByteArray::number(exitStatus) + "\n");
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    return path;
}

QStringList TestAgentInstaller::calls() const
{
    QFile log(m_log);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

QString TestAgentInstaller::call(const QString &command, bool documentPresent) const
{
    return u"2|%1|%2|%3"_s.arg(command, agentFilePath(m_context),
                               documentPresent ? u"present"_s : u"absent"_s);
}

void TestAgentInstaller::standardContext()
{
    const AgentContext context = AgentContext::standard();
    QCOMPARE(context.agentFolder, m_home->configHome() + u"/quillbrook/LaunchAgents"_s);
    QCOMPARE(context.toolPath, QCoreApplication::applicationDirPath() + u"/quillbrook-agentctl"_s);
    QCOMPARE(agentFilePath(context),
             context.agentFolder + u"/"_s + QString::fromLatin1(AgentLabel) + u".plist"_s);
}

void TestAgentInstaller::schedule_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expectedCalls"); // command and whether the file existed

    QTest::newRow("first enabling") << QStringList{u"on Daily 3"_s} << QStringList{u"load +"_s};
    QTest::newRow("hour changed while enabled")
        << QStringList{u"on Daily 3"_s, u"on Daily 4"_s}
        << QStringList{u"load +"_s, u"unload +"_s, u"load +"_s};
    QTest::newRow("frequency changed while enabled")
        << QStringList{u"on Daily 3"_s, u"on Weekly 3"_s}
        << QStringList{u"load +"_s, u"unload +"_s, u"load +"_s};
    QTest::newRow("frequency changed while disabled")
        << QStringList{u"off Weekly 5"_s} << QStringList{};
    QTest::newRow("disabling") << QStringList{u"on Hourly 3"_s, u"off Hourly 3"_s}
                               << QStringList{u"load +"_s, u"unload +"_s};
    QTest::newRow("disabled twice")
        << QStringList{u"on Daily 3"_s, u"off Daily 3"_s, u"off Daily 3"_s}
        << QStringList{u"load +"_s, u"unload +"_s};
    QTest::newRow("file deleted behind our back")
        << QStringList{u"on Daily 3"_s, u"delete"_s, u"off Daily 3"_s} << QStringList{u"load +"_s};
}

// Drives applySchedule() the way the panel does: store a setting, then apply.
void TestAgentInstaller::schedule()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expectedCalls);

    AppSettings settings(m_home->settingsFile(), m_home->home());
    for (const QString &step : steps) {
        const QStringList words = step.split(u' ');
        if (words.first() == u"delete") {
            QVERIFY(QFile::remove(agentFilePath(m_context)));
            continue;
        }
        settings.setEnabled(words.at(0) == u"on");
        settings.setFrequency(frequencyFromRaw(words.at(1)).value());
        settings.setHourOfDay(words.at(2).toLongLong());
        applySchedule(settings, m_context);
    }

    QStringList expected;
    for (const QString &entry : expectedCalls)
        expected.append(call(entry.section(u' ', 0, 0), entry.endsWith(u'+')));
    QCOMPARE(calls(), expected);

    const QString file = agentFilePath(m_context);
    QCOMPARE(QFileInfo::exists(file), settings.enabled());
    if (settings.enabled()) {
        QFile document(file);
        QVERIFY(document.open(QIODevice::ReadOnly));
        QCOMPARE(readXmlPlist(document.readAll()).value_or(QVariant()),
                 QVariant(makeAgentPlist(settings.frequency(), settings.hourOfDay())));
    }
}

void TestAgentInstaller::failingLoadLeavesFile()
{
    m_context.toolPath = writeFakeTool(3);
    QString error;
    QVERIFY2(installAgent(Frequency::Daily, 3, m_context, &error), qPrintable(error));
    QVERIFY(QFileInfo::exists(agentFilePath(m_context)));
    QCOMPARE(calls(), QStringList{call(u"load"_s, true)});
    QCOMPARE(runLaunchctl({u"load"_s, agentFilePath(m_context)}, m_context), 3);
}

void TestAgentInstaller::missingTool()
{
    QStringList logged;
    const LogSink previous = setLogSink([&logged](const QString &line) { logged.append(line); });
    m_context.toolPath = m_home->home() + u"/no-such-tool"_s;

    QCOMPARE(runLaunchctl({u"load"_s, agentFilePath(m_context)}, m_context), -1);
    QCOMPARE(logged.size(), 1);
    QVERIFY2(logged.first().startsWith(u"launchctl failed: "_s), qPrintable(logged.first()));
    QVERIFY(logged.first().size() > 18);

    // Written but not loaded; removing it still deletes the file.
    QVERIFY(installAgent(Frequency::Weekly, 17, m_context));
    QVERIFY(QFileInfo::exists(agentFilePath(m_context)));
    removeAgent(m_context);
    QVERIFY(!QFileInfo::exists(agentFilePath(m_context)));
    QCOMPARE(logged.size(), 3);
    setLogSink(previous);
}

void TestAgentInstaller::folderCannotBeCreated()
{
    QFile blocker(m_home->home() + u"/plain-file"_s);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_context.agentFolder = blocker.fileName() + u"/LaunchAgents"_s;

    QString error;
    QVERIFY(!installAgent(Frequency::Daily, 3, m_context, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(calls(), QStringList());
}

QTEST_GUILESS_MAIN(TestAgentInstaller)
#include "tst_agentinstaller.moc"
