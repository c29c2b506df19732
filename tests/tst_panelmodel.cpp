#include "FixedClock.h"
#include "TestHome.h"

#include "agent/AgentInstaller.h"
#include "panel/PanelModel.h"
#include "platform/Log.h"
#include "settings/AppSettings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include <unistd.h>

namespace {

QString readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

class TestPanelModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home = std::make_unique<TestHome>();
        m_desktop = m_home->home() + QStringLiteral("/Desktop");
        QVERIFY(QDir().mkpath(m_desktop));
        m_settings = std::make_unique<AppSettings>(m_home->settingsFile(), m_home->home());

        // A stand-in for the scheduler tool that only records how it was called.
        m_toolLog = m_home->home() + QStringLiteral("/tool-calls.txt");
        const QString tool = m_home->home() + QStringLiteral("/fake-agentctl");
        QFile script(tool);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$1\" >> \"" + QFile::encodeName(m_toolLog) + "\"\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_agent = {m_home->configHome() + QStringLiteral("/quillbrook/LaunchAgents"), tool};

        // Screenshots made now are ten days old by this clock.
        m_clock.set(double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 + 10 * 86400.0);
        m_model = std::make_unique<PanelModel>(*m_settings, m_clock);
        m_model->setAgentContext(m_agent);
        m_logged.clear();
        setLogSink([this](const QString &line) { m_logged.append(line); });
    }

    void cleanup()
    {
        setLogSink({});
        m_model.reset();
        m_settings.reset();
        m_home.reset();
    }

    void freshState()
    {
        QVERIFY(!m_model->previewCount().has_value());
        QVERIFY(!m_model->permissionDenied());
    }

    void switchingOnProbesHalfASecondLater_data()
    {
        QTest::addColumn<QString>("folderKind");
        QTest::addColumn<bool>("denied");
        QTest::newRow("readable folder") << "readable" << false;
        QTest::newRow("missing folder") << "missing" << true;
        QTest::newRow("a file, not a folder") << "file" << true;
        QTest::newRow("unreadable folder") << "unreadable" << true;
    }
    void switchingOnProbesHalfASecondLater()
    {
        QFETCH(QString, folderKind);
        QFETCH(bool, denied);
        QString folder = m_desktop;
        if (folderKind == QLatin1String("missing")) {
            folder = m_home->home() + QStringLiteral("/Gone");
        } else if (folderKind == QLatin1String("file")) {
            folder = m_desktop + QStringLiteral("/note.txt");
            touch(folder);
        } else if (folderKind == QLatin1String("unreadable")) {
            if (::geteuid() == 0)
                QSKIP("root lists every folder");
            QFile::setPermissions(m_desktop, QFile::WriteOwner);
        }
        if (!denied) {
            // To see a "false" land, start from a shown notice.
            m_settings->setSourceFolder(m_home->home() + QStringLiteral("/Gone"));
            m_model->setEnabled(true);
            QTRY_VERIFY(m_model->permissionDenied());
        }
        m_settings->setSourceFolder(folder);

        QSignalSpy probed(m_model.get(), &PanelModel::permissionDeniedChanged);
        m_model->setEnabled(true);
        QVERIFY(m_settings->enabled());
        // Nothing is decided while the switch is handled: the answer comes later.
        QCOMPARE(m_model->permissionDenied(), !denied);
        QVERIFY(probed.wait(5000));
        QCOMPARE(m_model->permissionDenied(), denied);
        QFile::setPermissions(m_desktop, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void switchingOnAndOffRunsTheTool()
    {
        m_model->setEnabled(true);
        QCOMPARE(readAll(m_toolLog), QStringLiteral("load\n"));
        QVERIFY(QFile::exists(agentFilePath(m_agent)));
        m_model->setEnabled(false);
        QCOMPARE(readAll(m_toolLog), QStringLiteral("load\nunload\n"));
        QVERIFY(!QFile::exists(agentFilePath(m_agent)));
        QVERIFY(!m_settings->enabled());
    }

    void switchingOffHidesNoticeAtOnce()
    {
        m_settings->setSourceFolder(m_home->home() + QStringLiteral("/Gone"));
        m_model->setEnabled(true);
        QTRY_VERIFY(m_model->permissionDenied());
        m_model->setEnabled(false);
        QVERIFY(!m_model->permissionDenied());
    }

    void pendingProbeIsNeverCancelled()
    {
        m_settings->setSourceFolder(m_home->home() + QStringLiteral("/Gone"));
        QSignalSpy changes(m_model.get(), &PanelModel::permissionDeniedChanged);
        m_model->setEnabled(true);
        m_model->setEnabled(false);
        QVERIFY(!m_model->permissionDenied());
        // The probe queued by the first switch-on still lands.
        QTRY_VERIFY(m_model->permissionDenied());
        m_model->setEnabled(false);

        m_model->setEnabled(true);
        m_model->setEnabled(false);
        m_model->setEnabled(true);
        QTRY_VERIFY(m_model->permissionDenied());
        QCOMPARE(readAll(m_toolLog), QStringLiteral("load\nunload\nload\nunload\nload\n"));
    }

    void scheduleControlsApplyTheSchedule()
    {
        m_model->setHourOfDay(7);
        m_model->setFrequency(Frequency::Weekly);
        QCOMPARE(m_settings->hourOfDay(), qint64(7));
        QCOMPARE(m_settings->frequency(), Frequency::Weekly);
        QCOMPARE(readAll(m_toolLog), QString()); // disabled: no agent, no tool
        QVERIFY(!QFile::exists(agentFilePath(m_agent)));

        m_model->setEnabled(true);
        m_model->setHourOfDay(4);
        QCOMPARE(readAll(m_toolLog), QStringLiteral("load\nunload\nload\n"));
        QVERIFY(readAll(agentFilePath(m_agent)).contains(QStringLiteral("<integer>4</integer>")));
    }

    void ageTextCommit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<qint64>("value");
        QTest::newRow("number") << "5" << true << qint64(5);
        QTest::newRow("spaces around") << " 7 " << true << qint64(7);
        QTest::newRow("zero") << "0" << true << qint64(0);
        QTest::newRow("negative") << "-3" << true << qint64(-3);
        QTest::newRow("plus sign") << "+4" << true << qint64(4);
        QTest::newRow("letters") << "abc" << false << qint64(9);
        QTest::newRow("fraction refused") << "1.5" << false << qint64(9);
        QTest::newRow("fraction, comma") << "1,5" << false << qint64(9);
        QTest::newRow("grouping") << "1,000" << false << qint64(9);
        QTest::newRow("empty") << "" << false << qint64(9);
        QTest::newRow("trailing unit") << "3 days" << false << qint64(9);
        QTest::newRow("too large") << "99999999999999999999" << false << qint64(9);
    }
    void ageTextCommit()
    {
        QFETCH(QString, text);
        QFETCH(bool, stored);
        QFETCH(qint64, value);
        m_settings->setAgeValue(9);
        QCOMPARE(m_model->commitAgeText(text), stored);
        QCOMPARE(m_settings->ageValue(), value);
        QCOMPARE(readAll(m_toolLog), QString());
    }

    void previewStaysThroughOtherChanges()
    {
        makeOldScreenshots(3);
        m_model->showPreview();
        QCOMPARE(m_model->previewCount(), std::optional<qint64>(3));

        const QString other = m_home->home() + QStringLiteral("/Pictures");
        QVERIFY(QDir().mkpath(other));
        m_model->setFolderChooser([&](const QString &) { return std::optional<QString>(other); });
        QSignalSpy previewChanges(m_model.get(), &PanelModel::previewCountChanged);
        m_model->commitAgeText(QStringLiteral("30"));
        m_model->setAgeUnit(AgeUnit::Weeks);
        m_model->chooseSourceFolder();
        m_model->setFrequency(Frequency::Hourly);
        m_model->setHourOfDay(9);
        QCOMPARE(m_settings->sourceFolder(), other);
        QCOMPARE(m_model->previewCount(), std::optional<qint64>(3));
        QCOMPARE(previewChanges.count(), 0);

        m_model->showPreview();
        QCOMPARE(m_model->previewCount(), std::optional<qint64>(0));
    }

    void runNowClearsPreviewAndLogs()
    {
        makeOldScreenshots(3);
        m_model->showPreview();
        m_model->runNow();
        QVERIFY(!m_model->previewCount().has_value());
        QCOMPARE(m_logged, QStringList{QStringLiteral("Run Now trashed 3")});
        QCOMPARE(QDir(m_desktop).entryList(QDir::Files),
                 QStringList{QStringLiteral("holiday.png")});
        QTRY_COMPARE(m_settings->lastRunCount(), qint64(3));
        QCOMPARE(readAll(m_toolLog), QString()); // disabled: a run installs nothing
    }

    void runNowWithNothingStillRecords()
    {
        m_settings->setLastRunCount(8);
        m_model->runNow();
        QCOMPARE(m_logged, QStringList{QStringLiteral("Run Now trashed 0")});
        QVERIFY(!m_model->previewCount().has_value());
        QTRY_COMPARE(m_settings->lastRunCount(), qint64(0));
        QVERIFY(m_settings->lastRunDate() > 0);
    }

    void chooseSourceFolder_data()
    {
        QTest::addColumn<QString>("answer"); // "<cancel>" for no choice
        QTest::addColumn<QString>("stored"); // relative to HOME unless absolute
        QTest::newRow("chosen") << "/Pictures"
                                << "/Pictures";
        QTest::newRow("trailing separator dropped") << "/Pictures/"
                                                    << "/Pictures";
        QTest::newRow("cancel") << "<cancel>"
                                << "/Desktop";
        QTest::newRow("not absolute") << "Pictures"
                                      << "/Desktop";
        QTest::newRow("same again") << "/Desktop"
                                    << "/Desktop";
    }
    void chooseSourceFolder()
    {
        QFETCH(QString, answer);
        QFETCH(QString, stored);
        QString startedIn;
        m_model->setFolderChooser([&](const QString &start) -> std::optional<QString> {
            startedIn = start;
            if (answer == QLatin1String("<cancel>"))
                return std::nullopt;
            return answer.startsWith(QLatin1Char('/')) ? m_home->home() + answer : answer;
        });
        m_model->chooseSourceFolder();
        QCOMPARE(startedIn, m_desktop);
        QCOMPARE(m_settings->sourceFolder(), m_home->home() + stored);
    }

    void launchAtLoginFollowsTheSwitch()
    {
        const QString entry =
            m_home->configHome() + QStringLiteral("/autostart/quillbrook.desktop");
        m_model->setLaunchAtLogin(false);
        QVERIFY(!m_settings->launchAtLogin());
        QVERIFY(!QFile::exists(entry));
        m_model->setLaunchAtLogin(true);
        QVERIFY(m_settings->launchAtLogin());
        QVERIFY(QFile::exists(entry));
    }

    void noticeButtonOpensNearestFolder()
    {
        QList<QUrl> opened;
        m_model->setUrlOpener([&](const QUrl &url) { opened.append(url); });
        m_settings->setSourceFolder(m_desktop + QStringLiteral("/gone/deeper"));
        m_model->openFolderAccessSettings();
        m_model->openFolderAccessSettings();
        QCOMPARE(opened,
                 (QList<QUrl>{QUrl::fromLocalFile(m_desktop), QUrl::fromLocalFile(m_desktop)}));
    }

    void websiteLinkIsAnAbsoluteHttpsAddress()
    {
        QList<QUrl> opened;
        m_model->setUrlOpener([&](const QUrl &url) { opened.append(url); });
        m_model->openWebsite();
        QCOMPARE(opened.size(), 1);
        QVERIFY(opened.first().isValid());
        QCOMPARE(opened.first().scheme(), QStringLiteral("https"));
        QVERIFY(!opened.first().host().isEmpty());
    }

    void quitLeavesScheduleInPlace()
    {
        m_model->setEnabled(true);
        int quits = 0;
        m_model->setQuitHandler([&] { ++quits; });
        m_model->quit();
        QCOMPARE(quits, 1);
        QVERIFY(m_settings->enabled());
        QVERIFY(QFile::exists(agentFilePath(m_agent)));
        QCOMPARE(readAll(m_toolLog), QStringLiteral("load\n"));
    }

private:
    void touch(const QString &path)
    {
        QFile file(path);
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
        file.write("x");
    }

    void makeOldScreenshots(int count)
    {
        for (int i = 0; i < count; ++i)
            touch(m_desktop + QStringLiteral("/Screenshot %1.png").arg(i));
        touch(m_desktop + QStringLiteral("/holiday.png"));
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<PanelModel> m_model;
    FixedClock m_clock;
    AgentContext m_agent;
    QString m_desktop;
    QString m_toolLog;
    QStringList m_logged;
};

QTEST_MAIN(TestPanelModel)
#include "tst_panelmodel.moc"
