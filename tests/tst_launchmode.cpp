#include "TestSupport.h"

#include "app/CommandLine.h"
#include "app/LaunchMode.h"

#include <QProcess>

using namespace Qt::StringLiterals;

// Which road a command line takes: "--headless" anywhere on the raw argv (element 0 included);
// the other options exact; anything unknown stops with a usage error before the tray app starts.
class TestLaunchMode : public QObject
{
    Q_OBJECT

private slots:
    void launchMode_data()
    {
        QTest::addColumn<QString>("arguments"); // after the program, split at blanks
        QTest::addColumn<int>("road");          // a LaunchAction, or -1 for headless
        const auto row = [](const QString &arguments, int road) {
            QTest::newRow(qPrintable(arguments)) << arguments << road;
        };
        for (const QString &line : {u"-v x --headless"_s, u"--headless --headless"_s,
                                    u"--help --headless"_s, u"-- --headless"_s})
            row(line, -1);
        for (const QString &line :
             {u""_s, u"headless"_s, u"--autostart"_s, u"-platform xcb --style=Fusion -reverse"_s})
            row(line, int(LaunchAction::Interactive));
        for (const QString &line :
             {u"--Headless"_s, u"--headless=1"_s, u"-headless"_s, u"--bogus"_s, u"-help"_s,
              u"--HELP"_s, u"--vers"_s, u"--preview=1"_s, u"-h"_s, u"--preview --put-back"_s})
            row(line, int(LaunchAction::UsageError));
        row(u"--help"_s, int(LaunchAction::Help));
        row(u"--autostart --version"_s, int(LaunchAction::Version));
        row(u"--preview"_s, int(LaunchAction::Preview));
        row(u"--put-back"_s, int(LaunchAction::PutBack));
    }
    void launchMode()
    {
        QFETCH(QString, arguments);
        QFETCH(int, road);
        QList<QByteArray> bytes{"/usr/bin/quillbrook"};
        for (const QString &argument : arguments.split(u' ', Qt::SkipEmptyParts))
            bytes.append(argument.toUtf8());
        std::vector<const char *> argv;
        for (const QByteArray &b : bytes)
            argv.push_back(b.constData());
        QCOMPARE(isHeadlessLaunch(int(argv.size()), argv.data()), road == -1);
        QVERIFY(isHeadlessLaunch(1, std::vector<const char *>{"--headless"}.data()));
        const LaunchRequest request =
            parseLaunchArguments(argumentList(int(argv.size()), argv.data()));
        if (road != -1)
            QCOMPARE(int(request.action), road);
        QCOMPARE(request.error.isEmpty(), request.action != LaunchAction::UsageError);
    }

    // Run for real with no display reachable: none of these starts the tray app.
    void executable()
    {
        TestHome home;
        for (const QString &line :
             {u"0 --help Usage: quillbrook [OPTION]\n"_s, u"0 --version quillbrook 1.0.0\n"_s,
              u"2 --bogus quillbrook: Unknown option 'bogus'. Try 'quillbrook --help'.\n"_s}) {
            QProcess process;
            process.setProcessEnvironment(home.processEnvironment());
            process.start(TestHome::quillbrookExecutable(), {line.section(u' ', 1, 1)});
            QVERIFY(process.waitForFinished(-1));
            QCOMPARE(process.exitCode(), line.left(1).toInt());
            const QString output =
                QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
            QVERIFY2(output.startsWith(line.section(u' ', 2)) &&
                         (process.exitCode() == 0 || output == line.section(u' ', 2)),
                     qPrintable(output));
        }
    }
};

QTEST_GUILESS_MAIN(TestLaunchMode)
#include "tst_launchmode.moc"
