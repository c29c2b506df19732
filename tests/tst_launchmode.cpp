#include "TestSupport.h"

#include "app/CommandLine.h"
#include "app/LaunchMode.h"

#include <QProcess>

using namespace Qt::StringLiterals;

// Which road a command line takes. "--headless" is looked for on the raw argv, anywhere; the
// other options are exact, and anything unknown stops before the tray app starts.
class TestLaunchMode : public QObject
{
    Q_OBJECT

private slots:
    void launchMode_data()
    {
        QTest::addColumn<QStringList>("arguments"); // after the program
        QTest::addColumn<QString>("road");          // headless, or the LaunchAction's number
        const QString usage = QString::number(int(LaunchAction::UsageError));
        const auto row = [](const char *name, const QStringList &arguments, const QString &road) {
            QTest::newRow(name) << arguments << road;
        };
        row("none", {}, u"0"_s);
        row("headless later", {u"-v"_s, u"x"_s, u"--headless"_s}, u"headless"_s);
        row("headless twice", {u"--headless"_s, u"--headless"_s}, u"headless"_s);
        row("headless with help", {u"--help"_s, u"--headless"_s}, u"headless"_s);
        row("after --", {u"--"_s, u"--headless"_s}, u"headless"_s);
        for (const char *near :
             {"--Headless", "--headless=1", "-headless", "headless", "--headless "})
            row(near, {QString::fromLatin1(near)}, near[0] == '-' ? usage : u"0"_s);
        row("autostart", {u"--autostart"_s}, u"0"_s);
        row("Qt's own options", {u"-platform"_s, u"xcb"_s, u"--style=Fusion"_s, u"-reverse"_s},
            u"0"_s);
        row("help", {u"--help"_s}, QString::number(int(LaunchAction::Help)));
        row("version", {u"--autostart"_s, u"--version"_s},
            QString::number(int(LaunchAction::Version)));
        row("preview", {u"--preview"_s}, QString::number(int(LaunchAction::Preview)));
        row("put back", {u"--put-back"_s}, QString::number(int(LaunchAction::PutBack)));
        for (const char *wrong :
             {"--bogus", "-help", "--HELP", "--vers", "--preview=1", "-h", "-x"})
            row(wrong, {QString::fromLatin1(wrong)}, usage);
        row("both", {u"--preview"_s, u"--put-back"_s}, usage);
    }
    void launchMode()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, road);
        const QList<QByteArray> bytes = [&] {
            QList<QByteArray> list{"/usr/bin/quillbrook"};
            for (const QString &argument : arguments)
                list.append(argument.toUtf8());
            return list;
        }();
        std::vector<const char *> argv;
        for (const QByteArray &b : bytes)
            argv.push_back(b.constData());
        const bool headless = isHeadlessLaunch(int(argv.size()), argv.data());
        QCOMPARE(headless, road == u"headless");
        // Element 0 counts too.
        QCOMPARE(isHeadlessLaunch(1, std::vector<const char *>{"--headless"}.data()), true);
        if (!headless) {
            const LaunchRequest request =
                parseLaunchArguments(argumentList(int(argv.size()), argv.data()));
            QCOMPARE(QString::number(int(request.action)), road);
            QCOMPARE(request.error.isEmpty(), request.action != LaunchAction::UsageError);
        }
    }

    void executable_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("help") << u"--help"_s << 0 << u"Usage: quillbrook [OPTION]\n"_s << QString();
        QTest::newRow("version") << u"--version"_s << 0 << u"quillbrook 1.0.0\n"_s << QString();
        QTest::newRow("unknown")
            << u"--bogus"_s << 2 << QString()
            << u"quillbrook: Unknown option 'bogus'. Try 'quillbrook --help'.\n"_s;
    }
    // No display is reachable: these never start the tray app.
    void executable()
    {
        QFETCH(QString, argument);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        TestHome home;
        QProcess process;
        process.setProcessEnvironment(home.processEnvironment());
        process.start(TestHome::quillbrookExecutable(), {argument});
        QVERIFY(process.waitForFinished(-1));
        QCOMPARE(process.exitCode(), exitCode);
        const QString stdOut = QString::fromUtf8(process.readAllStandardOutput());
        QVERIFY2(stdOut.startsWith(out) && (out.isEmpty() ? stdOut.isEmpty() : true),
                 qPrintable(stdOut));
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()), err);
    }
};

QTEST_GUILESS_MAIN(TestLaunchMode)
#include "tst_launchmode.moc"
