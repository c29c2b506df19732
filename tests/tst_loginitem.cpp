#include "TestSupport.h"
#include "platform/Autostart.h"
#include "settings/LoginItem.h"

#include <QStandardPaths>

#include <memory>

class TestLoginItem : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_home = std::make_unique<TestHome>(); }
    void cleanup() { m_home.reset(); }

    void entryStartsTheProgramAtItsPath_data()
    {
        QTest::addColumn<QString>("folder"); // under HOME; the program is <folder>/quillbrook
        QTest::addColumn<QString>("exec");   // the Exec= value's program part, %1 the HOME
        // clang-format off
        for (const auto &[folder, exec] : std::initializer_list<std::pair<QString, QString>>{
                 {"bin", "%1/bin/quillbrook"}, {"My Apps", "\"%1/My Apps/quillbrook\""},
                 {"a\"b'c", "\"%1/a\\\\\"b'c/quillbrook\""},
                 {"back\\slash", "\"%1/back\\\\\\\\slash/quillbrook\""},
                 {"100%", "%1/100%%/quillbrook"}, {"%f", "%1/%%f/quillbrook"},
                 {"50% $x `id`", "\"%1/50%% \\\\$x \\\\`id\\\\`/quillbrook\""},
                 {"a\tb\nc", "\"%1/a\\tb\\nc/quillbrook\""},
                 {"a;b|c&d<e>f*g?h#i(j)~k", "\"%1/a;b|c&d<e>f*g?h#i(j)~k/quillbrook\""},
                 {"\u00fcn\u00ef \u6f22", "\"%1/\u00fcn\u00ef \u6f22/quillbrook\""}}) // clang-format on
            QTest::newRow(qPrintable(folder)) << folder << exec;
    }

    // The entry is checked by real readers: the validator, and GLib, which starts the program.
    void entryStartsTheProgramAtItsPath()
    {
        QFETCH(QString, folder);
        QFETCH(QString, exec);
        const QString program = m_home->home() + QLatin1Char('/') + folder + "/quillbrook";
        QVERIFY(QDir().mkpath(QFileInfo(program).path()));
        const QString out = m_home->home() + QStringLiteral("/started");
        writeRaw(QFile::encodeName(program),
                 "#!/bin/sh\nprintf '%s|' \"$0\" \"$@\" > '" + QFile::encodeName(out) + "'\n");
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));

        QString error;
        QVERIFY2(Autostart::install(program, &error), qPrintable(error));
        const QByteArray entry = readRaw(QFile::encodeName(Autostart::entryPath())).value();
        QVERIFY(entry.split('\n').contains("Exec=" + exec.arg(m_home->home()).toUtf8() +
                                           " --autostart"));

        for (const QStringList &reader :
             {QStringList{"desktop-file-validate"}, QStringList{"gio", "launch"}}) {
            if (QStandardPaths::findExecutable(reader.first()).isEmpty())
                QSKIP("desktop-file-validate and gio (desktop-file-utils, libglib2.0-bin) needed");
            QProcess process;
            process.start(reader.first(), reader.mid(1) << Autostart::entryPath());
            QVERIFY(process.waitForFinished());
            const QByteArray output = process.readAll() + process.readAllStandardError();
            QVERIFY2(process.exitCode() == 0 && output.isEmpty(), output.constData());
            // GLib looks for the program under its path with "%%" not yet undone, and so
            // refuses to load an entry for a path with "%" in it, correct as it is.
            if (folder.contains('%'))
                return;
        }
        QTRY_COMPARE(readRaw(QFile::encodeName(out)).value_or(""),
                     QFile::encodeName(program) + "|--autostart|");
    }

    void controlCharacterIsRefused()
    {
        QString error;
        QVERIFY(!Autostart::install(QStringLiteral("/opt/a\x01/quillbrook"), &error));
        QVERIFY2(error.startsWith("Cannot write " + Autostart::entryPath() + ": the program path"),
                 qPrintable(error));
        QVERIFY(!QFile::exists(Autostart::entryPath()));
    }

    void registerAndUnregister()
    {
        LogCapture log;
        registerLoginItem();
        registerLoginItem();
        const QList<QByteArray> lines =
            readRaw(QFile::encodeName(Autostart::entryPath())).value().split('\n');
        QCOMPARE(lines.first(), "[Desktop Entry]");
        QVERIFY(lines.contains(
            "Exec=" +
            Autostart::quoteExecArgument(QCoreApplication::applicationFilePath()).toUtf8() +
            " --autostart"));
        QCOMPARE(QFileInfo(m_home->configHome() + "/autostart").permissions() & 0077, 0);
        QCOMPARE(namesIn(QFile::encodeName(m_home->configHome() + "/autostart")),
                 QList<QByteArray>{"quillbrook.desktop"});
        unregisterLoginItem();
        QVERIFY(!QFile::exists(Autostart::entryPath()));
        unregisterLoginItem(); // already gone: nothing to do, nothing to report
        QCOMPARE(log.lines, QStringList());
    }

    void failuresAreLogged_data()
    {
        QTest::addColumn<bool>("registering");
        QTest::addColumn<QString>("inTheWay"); // under the config folder; "/" ends a folder
        QTest::addColumn<QString>("expected"); // %1: the config folder
        // Root ignores permission bits, so something stands in the way instead.
        QTest::newRow("register, autostart is a file")
            << true << "autostart"
            << "Failed to register login item: Cannot create the folder %1/autostart: Not a "
               "directory";
        QTest::newRow("register, entry is a folder")
            << true << "autostart/quillbrook.desktop/"
            << "Failed to register login item: Cannot write %1/autostart/quillbrook.desktop: Is a "
               "directory";
        QTest::newRow("unregister, entry is a folder")
            << false << "autostart/quillbrook.desktop/"
            << "Failed to unregister login item: Cannot remove %1/autostart/quillbrook.desktop: Is "
               "a directory";
    }
    void failuresAreLogged()
    {
        QFETCH(bool, registering);
        QFETCH(QString, inTheWay);
        QFETCH(QString, expected);
        const QString blocker = m_home->configHome() + QLatin1Char('/') + inTheWay;
        if (inTheWay.endsWith('/'))
            QVERIFY(QDir().mkpath(blocker + "keep"));
        else
            QVERIFY(writeRaw(QFile::encodeName(blocker)));
        LogCapture log;
        registering ? registerLoginItem() : unregisterLoginItem();
        QCOMPARE(log.lines, QStringList{expected.arg(m_home->configHome())});
        QVERIFY(exists(QFile::encodeName(blocker)));
        QCOMPARE(namesIn(QFile::encodeName(m_home->configHome() + "/autostart")).size(),
                 inTheWay.endsWith('/') ? 1 : 0);
    }

private:
    std::unique_ptr<TestHome> m_home;
};

QTEST_GUILESS_MAIN(TestLoginItem)
#include "tst_loginitem.moc"
