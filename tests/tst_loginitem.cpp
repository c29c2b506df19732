#include "TestSupport.h"
#include "platform/Autostart.h"
#include "settings/LoginItem.h"

#include <QStandardPaths>

class TestLoginItem : public QObject
{
    Q_OBJECT

    QByteArray entry() const { return QFile::encodeName(Autostart::entryPath()); }
    std::optional<TestHome> m_home;

private slots:
    void init() { m_home.emplace(); }
    void cleanup() { m_home.reset(); }

    void entryStartsTheProgramAtItsPath_data()
    {
        QTest::addColumn<QString>("folder"); // under HOME; the program is <folder>/quillbrook
        QTest::addColumn<QString>("exec");   // the Exec= value's program part, %1 the HOME
        // clang-format off
        for (const auto &[folder, exec] : std::initializer_list<std::pair<QString, QString>>{
                 {"bin", "%1/bin/quillbrook"}, {"My Apps", "\"%1/My Apps/quillbrook\""},
                 {"a\"b'c", "\"%1/a\\\\\"b'c/quillbrook\""}, {"%f", "%1/%%f/quillbrook"},
                 {"back\\slash", "\"%1/back\\\\\\\\slash/quillbrook\""},
                 {"50% $x `id`", "\"%1/50%% \\\\$x \\\\`id\\\\`/quillbrook\""},
                 {"a\tb\nc", "\"%1/a\\tb\\nc/quillbrook\""},
                 {"a;b|c&d<e>f*g?h#i(j)~k", "\"%1/a;b|c&d<e>f*g?h#i(j)~k/quillbrook\""},
                 {"\u00fcn\u00ef \u6f22", "\"%1/\u00fcn\u00ef \u6f22/quillbrook\""},
                 {"a\x01", ""}})             // clang-format on
            QTest::newRow(qPrintable(folder)) << folder << exec; // "": no entry can carry it
    }
    // The entry is checked by real readers: the validator, and GLib, which starts the program.
    void entryStartsTheProgramAtItsPath()
    {
        QFETCH(QString, folder);
        QFETCH(QString, exec);
        const QString program = m_home->home() + '/' + folder + "/quillbrook";
        const QByteArray out = QFile::encodeName(m_home->home() + "/started");
        QVERIFY(QDir().mkpath(QFileInfo(program).path()));
        writeRaw(QFile::encodeName(program), "#!/bin/sh\nprintf '%s|' \"$0\" \"$@\" >" + out);
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
        QString error;
        const mode_t umask = ::umask(0); // nothing masks a mode too open
        QCOMPARE(Autostart::install(program, &error), !exec.isEmpty());
        ::umask(umask);
        QCOMPARE(error.endsWith(program + " holds a control character"), exec.isEmpty());
        // Private: the folder it made and the entry.
        QCOMPARE(modeOf(QFile::encodeName(m_home->configHome() + "/autostart")) & 07777,
                 exec.isEmpty() ? 0 : 0700u);
        QCOMPARE(modeOf(entry()) & 07777, exec.isEmpty() ? 0 : 0600u);
        QVERIFY(readRaw(entry()).value_or("").split('\n').contains(
            exec.isEmpty() ? "" : "Exec=" + exec.arg(m_home->home()).toUtf8() + " --autostart"));
        for (const QStringList &reader :
             {QStringList{"desktop-file-validate"}, {"gio", "launch"}}) {
            // GLib looks for the program under its path with "%%" not yet undone, and so
            // refuses to load an entry for a path with "%" in it, correct as it is.
            if (exec.isEmpty() || (reader.size() > 1 && folder.contains('%')))
                return;
            if (QStandardPaths::findExecutable(reader.first()).isEmpty())
                QSKIP("desktop-file-validate and gio (desktop-file-utils, libglib2.0-bin) needed");
            const ProgramRun ran =
                runProgram(reader.first(), reader.mid(1) << Autostart::entryPath());
            QVERIFY2(ran.exitCode == 0 && (ran.out + ran.err).isEmpty(), qPrintable(ran.err));
        }
        QTRY_COMPARE(readRaw(out).value_or(""), QFile::encodeName(program) + "|--autostart|");
    }

    void registerAndUnregister_data()
    {
        QTest::addColumn<int>("registers");
        QTest::addColumn<int>("unregisters");  // after the registers
        QTest::addColumn<QString>("inTheWay"); // under the config folder; "/" ends a folder
        QTest::addColumn<QString>("logged");   // %1: the config folder
        // Root ignores permission bits, so something stands in the way instead.
        const QString entry = "%1/autostart/quillbrook.desktop", folder = entry.mid(3) + '/';
        // clang-format off
        QTest::newRow("register twice") << 2 << 0 << "" << "";
        QTest::newRow("unregister twice") << 1 << 2 << "" << "";
        QTest::newRow("autostart is a file") << 1 << 0 << "autostart" << "Failed to register "
            "login item: Cannot create the folder %1/autostart: Not a directory";
        QTest::newRow("entry is a folder") << 1 << 0 << folder << "Failed to register login "
            "item: Cannot write " + entry + ": Is a directory";
        QTest::newRow("removing a folder") << 0 << 1 << folder << "Failed to unregister login "
            "item: Cannot remove " + entry + ": Is a directory"; // clang-format on
    }
    void registerAndUnregister()
    {
        QFETCH(int, registers);
        QFETCH(int, unregisters);
        QFETCH(QString, inTheWay);
        QFETCH(QString, logged);
        const QByteArray autostart = QFile::encodeName(m_home->configHome() + "/autostart");
        const QString blocker = m_home->configHome() + '/' + inTheWay;
        QVERIFY(inTheWay.isEmpty() ||
                (inTheWay.endsWith('/') ? QDir().mkpath(blocker + "keep")
                                        : writeRaw(QFile::encodeName(blocker))));
        LogCapture log;
        for (int i = 0; i < registers; ++i)
            registerLoginItem();
        for (int i = 0; i < unregisters; ++i)
            unregisterLoginItem();
        QCOMPARE(log.lines.join('\n'), logged.replace("%1", m_home->configHome()));
        QVERIFY(exists(QFile::encodeName(blocker)));
        const bool registered = unregisters == 0 && inTheWay.isEmpty();
        // Nothing but the entry, no temporary file, is left behind.
        QCOMPARE(namesIn(autostart).size(), registered || inTheWay.endsWith('/') ? 1 : 0);
    }

    // The real road: syslog plus standard error. A "%n" taken as a format would write through a
    // stray pointer; it must come out as text.
    void logLineIsVerbatim()
    {
        const QString line = QStringLiteral("Failed to trash /tmp/100%s %n %% done: %d%x");
        QTemporaryFile capture;
        const int savedStderr = ::dup(STDERR_FILENO);
        QVERIFY(capture.open() && savedStderr >= 0 && ::dup2(capture.handle(), STDERR_FILENO) >= 0);
        logLine(line);
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
        QCOMPARE(readRaw(QFile::encodeName(capture.fileName())), line.toUtf8() + '\n');
    }
};

QTEST_GUILESS_MAIN(TestLoginItem)
#include "tst_loginitem.moc"
