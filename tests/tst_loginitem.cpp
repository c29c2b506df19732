#include "TestHome.h"
#include "platform/Autostart.h"
#include "platform/Log.h"
#include "settings/LoginItem.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <memory>

class TestLoginItem : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void execQuoting_data();
    void execQuoting();
    void entryPassesDesktopFileValidate_data();
    void entryPassesDesktopFileValidate();
    void registerWritesAndUnregisterRemoves();
    void failuresAreLogged_data();
    void failuresAreLogged();

private:
    QString entryPath() const
    {
        return m_home->configHome() + QStringLiteral("/autostart/quillbrook.desktop");
    }

    std::unique_ptr<TestHome> m_home;
    QStringList m_logged;
    LogSink m_previousSink;
};

namespace {

// Undoes the three layers a reader peels off (string escapes, quoting, "%%"), to show that the
// argument survives the way back.
QString readExecArgument(const QString &value)
{
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value.at(++i);
            unescaped += next == QLatin1Char('n')   ? QLatin1Char('\n')
                         : next == QLatin1Char('t') ? QLatin1Char('\t')
                         : next == QLatin1Char('r') ? QLatin1Char('\r')
                         : next == QLatin1Char('s') ? QLatin1Char(' ')
                                                    : next;
        } else {
            unescaped += value.at(i);
        }
    }
    QString argument;
    if (unescaped.startsWith(QLatin1Char('"')) && unescaped.endsWith(QLatin1Char('"'))) {
        for (qsizetype i = 1; i + 1 < unescaped.size(); ++i) {
            if (unescaped.at(i) == QLatin1Char('\\'))
                ++i;
            argument += unescaped.at(i);
        }
    } else {
        argument = unescaped;
    }
    return argument.replace(QLatin1String("%%"), QLatin1String("%"));
}

void addPathRows()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("exec");

    QTest::newRow("plain") << "/usr/bin/quillbrook"
                           << "/usr/bin/quillbrook";
    QTest::newRow("blank") << "/opt/My Apps/quillbrook"
                           << "\"/opt/My Apps/quillbrook\"";
    QTest::newRow("double quote") << "/opt/a\"b/quillbrook"
                                  << R"("/opt/a\\"b/quillbrook")";
    QTest::newRow("single quote") << "/opt/it's/quillbrook"
                                  << R"("/opt/it's/quillbrook")";
    QTest::newRow("backslash") << R"(/opt/back\slash/quillbrook)"
                               << R"("/opt/back\\\\slash/quillbrook")";
    QTest::newRow("percent") << "/opt/100%/quillbrook"
                             << "/opt/100%%/quillbrook";
    QTest::newRow("percent field code") << "/opt/%f/quillbrook"
                                        << "/opt/%%f/quillbrook";
    QTest::newRow("dollar") << "/opt/$HOME/quillbrook"
                            << R"("/opt/\\$HOME/quillbrook")";
    QTest::newRow("backquote") << "/opt/`id`/quillbrook"
                               << R"("/opt/\\`id\\`/quillbrook")";
    QTest::newRow("percent, blank and dollar") << "/opt/50% off $x/quillbrook"
                                               << R"("/opt/50%% off \\$x/quillbrook")";
    QTest::newRow("tab") << "/opt/a\tb/quillbrook"
                         << R"("/opt/a\tb/quillbrook")";
    QTest::newRow("newline") << "/opt/a\nb/quillbrook"
                             << R"("/opt/a\nb/quillbrook")";
    QTest::newRow("shell characters") << "/opt/a;b|c&d<e>f*g?h#i(j)~k/quillbrook"
                                      << "\"/opt/a;b|c&d<e>f*g?h#i(j)~k/quillbrook\"";
    QTest::newRow("non-ASCII") << QStringLiteral("/opt/ünï 漢/quillbrook")
                               << QStringLiteral("\"/opt/ünï 漢/quillbrook\"");
}

} // namespace

void TestLoginItem::init()
{
    m_home = std::make_unique<TestHome>();
    m_logged.clear();
    m_previousSink = setLogSink([this](const QString &line) { m_logged.append(line); });
}

void TestLoginItem::cleanup()
{
    setLogSink(m_previousSink);
    m_home.reset();
}

void TestLoginItem::execQuoting_data()
{
    addPathRows();
    QTest::newRow("control character") << "/opt/a\x01/quillbrook"
                                       << "";
}

void TestLoginItem::execQuoting()
{
    QFETCH(QString, path);
    QFETCH(QString, exec);

    QCOMPARE(Autostart::quoteExecArgument(path), exec);
    if (exec.isEmpty()) {
        QVERIFY(Autostart::desktopEntry(path).isEmpty());
        QString error;
        QVERIFY(!Autostart::install(path, &error));
        QVERIFY2(error.contains(QLatin1String("control character")), qPrintable(error));
        QVERIFY(!QFile::exists(entryPath()));
        return;
    }
    QCOMPARE(readExecArgument(exec), path);
    const QList<QByteArray> lines = Autostart::desktopEntry(path).split('\n');
    QVERIFY(lines.contains("Exec=" + exec.toUtf8() + " --autostart"));
}

void TestLoginItem::entryPassesDesktopFileValidate_data()
{
    addPathRows();
}

void TestLoginItem::entryPassesDesktopFileValidate()
{
    QFETCH(QString, path);

    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate (Debian package desktop-file-utils) is not installed");
    QString error;
    QVERIFY2(Autostart::install(path, &error), qPrintable(error));
    QProcess process;
    process.start(validator, {entryPath()});
    QVERIFY(process.waitForFinished());
    const QByteArray output = process.readAllStandardOutput() + process.readAllStandardError();
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
             output.constData());
    QVERIFY2(output.isEmpty(), output.constData());
}

void TestLoginItem::registerWritesAndUnregisterRemoves()
{
    QVERIFY(!QFile::exists(m_home->configHome() + QStringLiteral("/autostart")));
    registerLoginItem();
    registerLoginItem();
    QFile entry(entryPath());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = entry.readAll().split('\n');
    entry.close();
    QCOMPARE(lines.first(), QByteArray("[Desktop Entry]"));
    for (const char *line :
         {"Type=Application", "Name=Quillbrook", "Icon=org.quillbrook.Quillbrook", "Terminal=false",
          "X-GNOME-Autostart-enabled=true"})
        QVERIFY2(lines.contains(line), line);
    const QString exec = Autostart::quoteExecArgument(QCoreApplication::applicationFilePath());
    QVERIFY(lines.contains("Exec=" + exec.toUtf8() + " --autostart"));
    QCOMPARE(QFileInfo(m_home->configHome() + QStringLiteral("/autostart")).permissions() &
                 (QFile::ReadGroup | QFile::ReadOther),
             QFile::Permissions());

    unregisterLoginItem();
    QVERIFY(!QFile::exists(entryPath()));
    // Already gone, or never there: nothing to do and nothing to report.
    unregisterLoginItem();
    QCOMPARE(m_logged, QStringList());
}

void TestLoginItem::failuresAreLogged_data()
{
    QTest::addColumn<bool>("registering");
    QTest::addColumn<QString>("inTheWay"); // under the config folder
    QTest::addColumn<bool>("inTheWayIsFolder");
    QTest::addColumn<QString>("expected"); // %1: the config folder

    // Root ignores permission bits, so something stands in the way instead.
    QTest::newRow("register, autostart is a file")
        << true << "autostart" << false
        << "Failed to register login item: cannot create folder %1/autostart: Not a directory";
    QTest::newRow("register, entry is a folder")
        << true << "autostart/quillbrook.desktop" << true
        << "Failed to register login item: cannot write %1/autostart/quillbrook.desktop: ";
    QTest::newRow("unregister, entry is a folder")
        << false << "autostart/quillbrook.desktop" << true
        << "Failed to unregister login item: cannot remove %1/autostart/quillbrook.desktop: Is a "
           "directory";
}

void TestLoginItem::failuresAreLogged()
{
    QFETCH(bool, registering);
    QFETCH(QString, inTheWay);
    QFETCH(bool, inTheWayIsFolder);
    QFETCH(QString, expected);

    const QString blocker = m_home->configHome() + QLatin1Char('/') + inTheWay;
    if (inTheWayIsFolder) {
        QVERIFY(QDir().mkpath(blocker + QStringLiteral("/keep")));
    } else {
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    if (registering)
        registerLoginItem();
    else
        unregisterLoginItem();

    QCOMPARE(m_logged.size(), 1);
    const QString line = m_logged.first();
    const QString start = expected.arg(m_home->configHome());
    QVERIFY2(line.startsWith(start), qPrintable(line));
    // The system's reason always follows.
    QVERIFY2(line.size() > start.size() || !start.endsWith(QLatin1String(": ")), qPrintable(line));
    QVERIFY(QFileInfo::exists(blocker));
}

QTEST_GUILESS_MAIN(TestLoginItem)
#include "tst_loginitem.moc"
