#include "TestHome.h"

#include "settings/AppSettings.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <memory>

// Runs the built executable as the scheduler would, in a temporary HOME with a real Trash.
class TestHeadless : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home = std::make_unique<TestHome>();
        m_desktop = m_home->home() + QStringLiteral("/Desktop");
        QDir().mkpath(m_desktop);
    }

    void cleanup() { m_home.reset(); }

    void headlessRunCleansTheDesktopIntoTheTrash()
    {
        const QStringList screenshots = {"Screenshot 2024-05-01 at 10.15.00.png",
                                         "SCREEN SHOT 100% done.PNG", "CleanShot #1.heic"};
        const QStringList others = {"IMG_0001.png", ".Screenshot hidden.png", "notes.txt"};
        for (const QString &name : screenshots + others)
            touch(m_desktop + '/' + name);
        QDir().mkpath(m_desktop + "/sub");
        touch(m_desktop + "/sub/Screenshot deep.png");
        touch(m_home->home() + "/target.png");
        QVERIFY(QFile::link(m_home->home() + "/target.png", m_desktop + "/Screenshot link.png"));

        // Everything was made just now: with the default limit of one day nothing is old enough.
        QProcess first;
        runHeadless(first);
        QCOMPARE(first.exitCode(), 0);
        AppSettings settings(m_home->settingsFile(), m_home->home());
        QCOMPARE(settings.lastRunCount(), qint64(0));
        QVERIFY(settings.lastRunDate() > 0);
        QCOMPARE(desktopEntries().size(), screenshots.size() + others.size() + 2);

        settings.setAgeValue(0);
        settings.setAgeUnit(AgeUnit::Hours);
        const double before = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
        QProcess second;
        runHeadless(second);
        QCOMPARE(second.exitCode(), 0);
        const QByteArray err = second.readAllStandardError();
        QVERIFY2(!err.contains("Failed to trash"), err.constData());
        QVERIFY2(!err.contains("platforms"), err.constData());

        QStringList expectedLeft = others + QStringList{"sub"};
        expectedLeft.sort();
        QCOMPARE(desktopEntries(), expectedLeft);
        QVERIFY(QFile::exists(m_desktop + "/sub/Screenshot deep.png"));
        QVERIFY(QFile::exists(m_home->home() + "/target.png"));
        QCOMPARE(settings.lastRunCount(), qint64(4));
        QVERIFY(settings.lastRunDate() >= before);

        QStringList trashed = screenshots + QStringList{"Screenshot link.png"};
        trashed.sort();
        QStringList inTrash =
            QDir(m_home->trash() + "/files")
                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        inTrash.sort();
        QCOMPARE(inTrash, trashed);
        for (const QString &name : trashed) {
            QFile info(m_home->trash() + "/info/" + name + ".trashinfo");
            QVERIFY2(info.open(QIODevice::ReadOnly), qPrintable(name));
            const QByteArray text = info.readAll();
            QVERIFY2(text.startsWith("[Trash Info]\nPath="), text.constData());
            const QByteArray path = text.split('\n').value(1).mid(5);
            QCOMPARE(QByteArray::fromPercentEncoding(path), (m_desktop + '/' + name).toUtf8());
            QVERIFY(text.contains("\nDeletionDate="));
        }

        // A real trash client must read back what was trashed, with the original paths.
        const QString trashList = QStandardPaths::findExecutable("trash-list");
        if (trashList.isEmpty())
            QSKIP("trash-list (Debian package trash-cli) is not installed");
        QProcess client;
        client.setProcessEnvironment(m_home->processEnvironment());
        client.start(trashList, {});
        QVERIFY(client.waitForFinished(30000));
        const QString listing = QString::fromUtf8(client.readAllStandardOutput());
        for (const QString &name : trashed)
            QVERIFY2(listing.contains(m_desktop + '/' + name), qPrintable(listing));
    }

    void interactiveStartWithoutDisplayFailsCleanly()
    {
        QProcess app;
        QProcessEnvironment env = m_home->processEnvironment();
        env.remove("QT_QPA_PLATFORM");
        app.setProcessEnvironment(env);
        app.start(TestHome::quillbrookExecutable(), {});
        QVERIFY(app.waitForFinished(30000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QVERIFY(app.exitCode() != 0);
        const QByteArray err = app.readAllStandardError().trimmed();
        QVERIFY2(!err.isEmpty() && !err.contains('\n'), err.constData());
        QVERIFY2(err.contains("display"), err.constData());
    }

private:
    void runHeadless(QProcess &process) const
    {
        QProcessEnvironment env = m_home->processEnvironment();
        // Any GUI platform plugin would show up in the plugin loader's trace.
        env.insert("QT_DEBUG_PLUGINS", "1");
        env.remove("QT_QPA_PLATFORM");
        process.setProcessEnvironment(env);
        process.start(TestHome::quillbrookExecutable(), {"--headless"});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    }

    QStringList desktopEntries() const
    {
        QStringList names = QDir(m_desktop).entryList(QDir::AllEntries | QDir::Hidden |
                                                      QDir::System | QDir::NoDotAndDotDot);
        names.sort();
        return names;
    }

    static void touch(const QString &path)
    {
        QFile file(path);
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
        file.write("png");
    }

    std::unique_ptr<TestHome> m_home;
    QString m_desktop;
};

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
