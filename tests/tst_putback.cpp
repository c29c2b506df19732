#include "TestSupport.h"

#include "cleanup/CleanupCommands.h"
#include "cleanup/PutBack.h"
#include "cleanup/RunJournal.h"
#include "cleanup/ScreenshotCleanup.h"
#include "settings/AppSettings.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

// Put back of the last run's entries: never over a taken name, nothing lost when killed, and
// entries put back kept from later runs until they change.
class TestPutBack : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home.emplace();
        m_desktop = QFile::encodeName(m_home->home()) + "/Desktop";
        m_trash = QFile::encodeName(m_home->trash());
        QCOMPARE(mkdir(m_desktop.constData(), 0755), 0);
        m_settings.emplace(m_home->settingsFile(), m_home->home());
        m_settings->setAgeValue(-1); // everything made before a run is old
        m_settings->setAgeUnit(AgeUnit::Hours);
    }
    void cleanup()
    {
        m_settings.reset();
        m_home.reset();
    }

    void putBack_data()
    {
        QTest::addColumn<QByteArray>("spoil");
        QTest::addColumn<QString>("summary");
        QTest::newRow("all") << QByteArray() << "Put back 3 of 3";
        QTest::newRow("name taken") << QByteArray("taken") << "Put back 2 of 3; 1 name is taken";
        QTest::newRow("gone") << QByteArray("gone")
                              << "Put back 2 of 3; 1 is no longer in the Trash";
        QTest::newRow("info changed")
            << QByteArray("info") << "Put back 2 of 3; 1 no longer matches its info file";
    }
    void putBack()
    {
        QFETCH(QByteArray, spoil);
        QFETCH(QString, summary);
        const QList<QByteArray> shots = {m_desktop + "/Screenshot 1.png",
                                         m_desktop + "/Screenshot 2.png",
                                         m_desktop + "/Screenshot \xff.png"};
        for (const QByteArray &shot : shots)
            QVERIFY(writeRaw(shot, shot));
        const QList<PreviewEntry> preview = previewEntries(*m_settings);
        QCOMPARE(runCleanup(*m_settings), qint64(3));
        const RunJournal journal = lastRunJournal();
        QCOMPARE(journal.entries.size(), preview.size());
        for (qsizetype i = 0; i < preview.size(); ++i)
            QCOMPARE(journal.entries[i].originalPath, preview[i].path);
        QCOMPARE(entriesStillInTrash(journal), qint64(3));
        const QByteArray spoiled = m_trash + "/files/Screenshot 2.png";
        if (spoil == "taken")
            QVERIFY(writeRaw(shots[1], "new"));
        else if (spoil == "gone")
            QCOMPARE(unlink(spoiled.constData()), 0);
        else if (spoil == "info")
            QVERIFY(
                writeRaw(m_trash + "/info/Screenshot 2.png.trashinfo", "[Trash Info]\nPath=/x\n"));

        const PutBackResult result = putBackLastRun();
        QCOMPARE(result.summary, summary);
        QCOMPARE(result.lines.size(), 3);
        QCOMPARE(readRaw(shots[0]), shots[0]);
        QCOMPARE(readRaw(shots[2]), shots[2]);
        const std::optional<QByteArray> second = readRaw(shots[1]);
        QCOMPARE(second.value_or("(none)"), spoil == "taken"  ? "new"
                                            : spoil.isEmpty() ? shots[1]
                                                              : "(none)");
        QCOMPARE(exists(spoiled), spoil == "taken" || spoil == "info");
        QCOMPARE(trashedEntries(m_trash).size(), int(spoil == "taken"));
        QCOMPARE(namesIn(m_trash + "/info").size(), int(spoil == "taken" || spoil == "info"));

        // Kept from the next run until changed; then taken again.
        QCOMPARE(runCleanup(*m_settings), qint64(spoil == "taken")); // the new file is not kept
        QVERIFY(setModified(shots[0], 1e9));
        QCOMPARE(countCandidates(*m_settings), qint64(1));
        QCOMPARE(previewEntries(*m_settings).value(0).path, shots[0]);
        QCOMPARE(previewEntries(*m_settings).value(0).source, DateSource::Created);
        QCOMPARE(putBackLastRun().summary,
                 spoil == "taken" ? "Put back 1 of 1" : "Nothing to put back");
    }

    void previewCommandLines()
    {
        QVERIFY(writeRaw(m_desktop + "/Screenshot a.png"));
        QString text, errors;
        QTextStream out(&text), err(&errors);
        QCOMPARE(previewCommand(*m_settings, out, err), 0);
        QVERIFY2(QRegularExpression(
                     "^" + QFile::decodeName(m_desktop) +
                     "/Screenshot "
                     "a.png\t\\d{4}-\\d\\d-\\d\\dT[\\d:]{8}(Z|[+-]\\d\\d:\\d\\d)\\tcreated\\n$")
                     .match(text)
                     .hasMatch(),
                 qPrintable(text));
        m_settings->setSourceFolder(QStringLiteral("/no/such/folder"));
        QCOMPARE(previewCommand(*m_settings, out, err), 1);
        QVERIFY2(errors.contains("Cannot list the source folder /no/such/folder"),
                 qPrintable(errors));
    }

    void entryOnAnotherVolume()
    {
        const QByteArray volume = QFile::encodeName(m_home->home()) + "/volume";
        Tmpfs tmpfs(volume, "size=1m");
        if (!tmpfs.isMounted())
            QSKIP(tmpfs.skipReason().constData());
        QVERIFY(writeRaw(volume + "/Screenshot v.png", "v"));
        m_settings->setSourceFolder(QFile::decodeName(volume));
        QCOMPARE(runCleanup(*m_settings), qint64(1));
        QCOMPARE(lastRunJournal().entries.value(0).trashFolder,
                 volume + "/.Trash-" + QByteArray::number(getuid()));
        QCOMPARE(putBackLastRun().summary, "Put back 1 of 1");
        QCOMPARE(readRaw(volume + "/Screenshot v.png"), "v");
    }

    // Killed at random moments, a put back leaves each entry exactly once: back in its place, or
    // in the Trash with its info file; the next put back finishes.
    void killedPutBackLosesNothing()
    {
        QList<QByteArray> shots;
        for (int i = 0; i < 200; ++i)
            QVERIFY(writeRaw(
                shots.emplaceBack(m_desktop + "/Screenshot " + QByteArray::number(i) + ".png")));
        QRandomGenerator random = QRandomGenerator::securelySeeded();
        for (int round = 0; round < 3; ++round) {
            QCOMPARE(runCleanup(*m_settings), qint64(shots.size()));
            for (int kill = 0; kill < 2; ++kill) {
                QProcess put;
                put.setProcessEnvironment(m_home->processEnvironment());
                put.start(TestHome::quillbrookExecutable(), {QStringLiteral("--put-back")});
                QVERIFY(put.waitForStarted());
                if (kill == 0) {
                    QThread::usleep(random.bounded(30000));
                    put.kill();
                }
                QVERIFY(put.waitForFinished(30000));
                const QHash<QByteArray, QByteArray> trashed = trashedEntries(m_trash);
                QCOMPARE(namesIn(m_trash + "/files").size(), trashed.size());
                for (const QByteArray &shot : shots)
                    QVERIFY2(exists(shot) != trashed.contains(shot), shot.constData());
                QVERIFY(kill == 0 || trashed.isEmpty());
            }
            for (const QByteArray &shot : shots)
                QVERIFY(setModified(shot, 1e9 + round)); // changed: no longer kept
        }
    }

private:
    std::optional<TestHome> m_home;
    std::optional<AppSettings> m_settings;
    QByteArray m_desktop;
    QByteArray m_trash;
};

QTEST_GUILESS_MAIN(TestPutBack)
#include "tst_putback.moc"
