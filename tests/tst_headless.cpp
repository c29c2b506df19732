#include "TestSupport.h"

#include "settings/AppSettings.h"

#include <QDateTime>
#include <QProcess>
#include <QStandardPaths>

// The built executable run as the scheduler runs it: a temporary HOME with a real Trash, no
// display.
class TestHeadless : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_home.emplace(); }
    void cleanup() { m_home.reset(); }

    void headlessRunCleansTheDesktopIntoTheTrash()
    {
        const QString desktop = m_home->home() + QStringLiteral("/Desktop");
        const QStringList moved = {"CleanShot #1.heic", "SCREEN SHOT 100% \u00e4.PNG",
                                   "Screenshot link.png"};
        QVERIFY(QDir().mkpath(desktop + "/sub"));
        for (const QString &name :
             moved.mid(0, 2) + QStringList{"IMG_0001.png", ".Screenshot.png", "sub/Screenshot.png"})
            QVERIFY(writeRaw(QFile::encodeName(desktop + '/' + name), "png"));
        QVERIFY(QFile::link(desktop + "/IMG_0001.png", desktop + "/Screenshot link.png"));
        AppSettings settings(m_home->settingsFile(), m_home->home());
        settings.setAgeValue(0); // made before the run: old enough
        const double before = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
        QProcess run;
        QProcessEnvironment env = m_home->processEnvironment();
        env.insert("QT_DEBUG_PLUGINS", "1"); // any GUI platform plugin would show in its trace
        env.remove("QT_QPA_PLATFORM");
        run.setProcessEnvironment(env);
        run.start(TestHome::quillbrookExecutable(), {"--headless"});
        QVERIFY(run.waitForFinished(60000));
        QCOMPARE(run.exitCode(), 0);
        const QByteArray err = run.readAllStandardError();
        QVERIFY2(!err.contains("Failed to trash") && !err.contains("platforms"), err.constData());
        QCOMPARE(QDir(desktop).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{".Screenshot.png", "IMG_0001.png", "sub"}));
        QCOMPARE(settings.lastRunCount(), qint64(3));
        QVERIFY(settings.lastRunDate() >= before);
        for (const QString &name : moved)
            QB_VERIFY_TRASHED(QFile::encodeName(m_home->trash()),
                              QFile::encodeName(desktop + '/' + name));

        // A real trash client reads back what was trashed, with the original paths and dates.
        const QString trashList = QStandardPaths::findExecutable("trash-list");
        if (trashList.isEmpty())
            QSKIP("trash-list (Debian package trash-cli) is not installed");
        QProcess client;
        client.setProcessEnvironment(m_home->processEnvironment());
        client.start(trashList, {});
        QVERIFY(client.waitForFinished(30000));
        const QString listing = QString::fromUtf8(client.readAllStandardOutput());
        const QString day = QDateTime::currentDateTime().toString("yyyy-MM-dd ");
        for (const QString &name : moved)
            QVERIFY2(listing.contains(
                         QRegularExpression(day + "\\d\\d:\\d\\d:\\d\\d " +
                                            QRegularExpression::escape(desktop + '/' + name))),
                     qPrintable(listing));
    }

    void interactiveStartWithoutDisplayFailsCleanly()
    {
        QProcess app;
        app.setProcessEnvironment(m_home->processEnvironment());
        app.start(TestHome::quillbrookExecutable(), {});
        QVERIFY(app.waitForFinished(30000));
        const QByteArray err = app.readAllStandardError().trimmed();
        QVERIFY(app.exitStatus() == QProcess::NormalExit && app.exitCode() != 0);
        QVERIFY2(err.contains("display") && !err.contains('\n'), err.constData());
    }

private:
    std::optional<TestHome> m_home;
};

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
