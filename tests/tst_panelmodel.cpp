#include "TestSupport.h"

#include "agent/AgentInstaller.h"
#include "agent/NextRun.h"
#include "cleanup/FileSystem.h"
#include "cleanup/RunJournal.h"
#include "panel/ContentView.h"
#include "panel/PanelModel.h"
#include "panel/PanelText.h"
#include "settings/AppSettings.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTreeWidget>

// A panel in a temporary HOME; its scheduler tool records calls; screenshots made now are old.
struct Panel
{
    TestHome home;
    QString desktop = home.home() + QStringLiteral("/Desktop");
    AppSettings settings{home.settingsFile(), home.home()};
    FakeProgram tool{home.home() + QStringLiteral("/agentctl")};
    AgentContext agent{home.configHome() + QStringLiteral("/agents"), tool.path()};
    FixedClock clock{double(QDateTime::currentSecsSinceEpoch()) + 10 * 86400.0};
    PanelModel model{settings, clock};
    std::optional<ContentView> view;
    QList<QUrl> opened;
};

// The panel's actions, driven through its widgets where it has them.
class TestPanel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m = std::make_unique<Panel>();
        QVERIFY(QDir().mkpath(m->desktop));
        m->model.setAgentContext(m->agent);
        m->model.setUrlOpener([this](const QUrl &url) { m->opened.append(url); });
        m->view.emplace(m->model);
        m->view->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*m->view));
    }
    void cleanup() { m.reset(); }

    void switchingOnProbesHalfASecondLater_data()
    {
        QTest::addColumn<QString>("folder"); // under HOME; all but the first are refused
        for (const char *folder : {"/Desktop", "/Gone", "/Desktop/note.txt", "/Locked"})
            QTest::newRow(folder) << QString::fromLatin1(folder);
    }
    void switchingOnProbesHalfASecondLater()
    {
        QFETCH(QString, folder);
        const bool denied = folder != QLatin1String("/Desktop");
        QVERIFY(writeRaw(QFile::encodeName(m->desktop) + "/note.txt"));
        QVERIFY(QDir().mkdir(m->home.home() + QStringLiteral("/Locked"), QFile::WriteOwner));
        if (folder == QLatin1String("/Locked") && ::geteuid() == 0)
            QSKIP("root lists every folder");
        m->settings.setSourceFolder(m->home.home() + folder);
        QSignalSpy probed(&m->model, &PanelModel::permissionDeniedChanged);
        const QDeadlineTimer soonest(450);
        m->model.setEnabled(true);
        QCOMPARE(probed.wait(denied ? 5000 : 800), denied);
        QVERIFY(!denied || soonest.hasExpired());
        QCOMPARE(m->model.permissionDenied(), denied);
    }

    void noticeComesAndGoesWithoutGapAndTheProbeIsNeverCancelled()
    {
        auto *notice = child<QWidget>("permissionNotice");
        const int captionY = yOf("frequencyCaption");
        m->settings.setSourceFolder(m->desktop + QStringLiteral("/gone"));
        click("enabledSwitch");
        QTRY_VERIFY(notice->isVisible());
        QTRY_COMPARE(yOf("frequencyCaption"), notice->geometry().bottom() + 1 + 16);
        QCOMPARE(notice->y(), child<QWidget>("enabledSwitch")->geometry().bottom() + 17);
        click("noticeButton");
        QCOMPARE(m->opened, QList{QUrl::fromLocalFile(m->desktop)}); // nearest that exists

        click("enabledSwitch");
        QVERIFY(!notice->isVisible() && !m->settings.enabled());
        QTRY_COMPARE(yOf("frequencyCaption"), captionY);
        m->model.setEnabled(true);
        m->model.setEnabled(false);
        QTRY_VERIFY(notice->isVisible());
        QCOMPARE(verbs(), QStringList({"load", "unload", "load", "unload"}));
    }

    void schedulePickers_data()
    {
        QTest::addColumn<Frequency>("frequency");
        for (Frequency frequency : allFrequencies())
            QTest::newRow(qPrintable(rawValue(frequency))) << frequency;
    }
    void schedulePickers()
    {
        QFETCH(Frequency, frequency);
        const bool withHour = frequency != Frequency::Hourly;
        emit child<QComboBox>("hourPicker")->activated(7);
        QCOMPARE(verbs(), QStringList()); // switched off: nothing is scheduled
        m->model.setEnabled(true);
        emit child<QComboBox>("hourPicker")->activated(4);
        emit child<QComboBox>("frequencyPicker")->activated(allFrequencies().indexOf(frequency));
        QVERIFY(m->settings.frequency() == frequency && m->settings.hourOfDay() == 4);
        QCOMPARE(verbs(), QStringList({"load", "unload", "load", "unload", "load"}));
        QCOMPARE(readRaw(QFile::encodeName(agentFilePath(m->agent)))->contains("<integer>4<"),
                 withHour);
        QCOMPARE(child<QWidget>("hourPicker")->isVisible(), withHour);
    }

    void ageField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("stored"); // refused: 9, the value before
        for (const QString row : {"5>5", " 7 >7", "0>0", "-3>-3", "+4>4", "abc", "1.5", "1,5",
                                  "1,000", "", "3 days", "99999999999999999999"})
            QTest::newRow(qPrintable(row))
                << row.section('>', 0, 0)
                << (row.contains('>') ? row.section('>', 1).toLongLong() : 9);
    }
    void ageField()
    {
        QFETCH(QString, typed);
        QFETCH(qint64, stored);
        m->settings.setAgeValue(9);
        auto *field = child<QLineEdit>("ageField");
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(m->settings.ageValue(), stored);
        QCOMPARE(field->text(), QString::number(stored));
        emit child<QComboBox>("unitPicker")->activated(allAgeUnits().indexOf(AgeUnit::Weeks));
        QCOMPARE(m->settings.ageUnit(), AgeUnit::Weeks);
    }

    void chooserCancelOrRelativeChangesNothing()
    {
        QStringList answers{"", "Pictures", m->home.home() + "/Pictures/"}, starts;
        m->model.setFolderChooser([&](const QString &start) {
            starts.append(start);
            const QString answer = answers.takeFirst();
            return answer.isEmpty() ? std::nullopt : std::optional(answer);
        });
        for (const char *stored : {"/Desktop", "/Desktop", "/Pictures"}) {
            click("changeButton");
            QCOMPARE(m->settings.sourceFolder(), m->home.home() + stored);
        }
        QCOMPARE(starts.first(), m->desktop);
    }

    void previewRunNowLoginAndQuit()
    {
        for (const char *name :
             {"Screenshot 1.png", "Screenshot 2.png", "Screenshot 3.png", "a.png"})
            QVERIFY(writeRaw(QFile::encodeName(m->desktop) + '/' + name));
        click("previewButton");
        click("previewValue"); // the list, closed by Run Now
        QCOMPARE(child<QAbstractButton>("previewValue")->text(), QStringLiteral("3 screenshots"));
        m->model.commitAgeText(QStringLiteral("30"));
        m->model.setAgeUnit(AgeUnit::Weeks);
        m->model.setFolderChooser([&](const QString &) { return std::optional(m->home.home()); });
        m->model.chooseSourceFolder();
        QCOMPARE(m->model.previewCount(), std::optional<qint64>(3));

        m->settings.setSourceFolder(m->desktop);
        m->settings.setAgeValue(1);
        LogCapture log;
        click("runNowButton");
        QVERIFY(!child<QWidget>("previewLine")->isVisible() && !m->model.previewListOpen());
        QCOMPARE(log.lines, QStringList{QStringLiteral("Run Now trashed 3")});
        QCOMPARE(namesIn(QFile::encodeName(m->desktop)), QList<QByteArray>{"a.png"});
        QTRY_COMPARE(child<QLabel>("trashedValue")->text(), QStringLiteral("3 screenshots"));
        QCOMPARE(verbs(), QStringList()); // a run installs nothing
        const QString entry = m->home.configHome() + "/autostart/quillbrook.desktop";
        click("launchSwitch");
        QVERIFY(!m->settings.launchAtLogin() && !QFile::exists(entry));
        click("launchSwitch");
        QVERIFY(m->settings.launchAtLogin() && QFile::exists(entry));
        int quits = 0;
        m->model.setQuitHandler([&] { ++quits; });
        m->model.setEnabled(true);
        click("quitButton");
        QVERIFY(quits == 1 && m->settings.enabled() && QFile::exists(agentFilePath(m->agent)));
        QCOMPARE(verbs(), QStringList{"load"}); // Quit leaves the schedule
    }

    // Put back through the link: entries return unless their name is taken meanwhile, and the
    // link stays while some are still in the Trash. Failed moves show beside the count.
    void putBackAndFailures()
    {
        const QByteArray desktop = QFile::encodeName(m->desktop);
        const QByteArrayList names{"/Screenshot1.png", "/Screenshot2.png", "/Screenshot3.png"};
        for (const QByteArray &name : names)
            QVERIFY(writeRaw(desktop + name, "old"));
        auto *putBack = child<QWidget>("putBackButton");
        auto *failed = child<QLabel>("failedValue");
        click("runNowButton");
        QTRY_VERIFY(putBack->isVisible() && !failed->isVisible());
        const RunJournal journal{lastRunJournal().entries, 2, "Failed to trash /d/a.png: Denied"};
        QString error;
        QVERIFY2(RunJournalStore::writeJournal(journal, &error), qPrintable(error));
        m->settings.setLastRunFailedCount(2);
        QVERIFY(failed->isVisible() && failed->text() == QStringLiteral("(2 failed)"));
        QCOMPARE(failed->toolTip(), journal.firstFailure);
        QVERIFY(writeRaw(desktop + names[0], "new"));
        auto *shown = child<QLabel>("putBackSummary");
        click("putBackButton");
        QCOMPARE(shown->text(), QStringLiteral("Put back 2 of 3; 1 name is taken"));
        QVERIFY(putBack->isVisible() && readRaw(desktop + names[0]) == "new");
        QVERIFY(QFile::remove(QFile::decodeName(desktop + names[0])));
        click("putBackButton");
        QVERIFY(shown->isVisible() && !putBack->isVisible() && shown->text() == "Put back 1 of 1");
        for (const QByteArray &name : names)
            QCOMPARE(readRaw(desktop + name), QByteArray("old"));
        m->settings.setLastRunDate(2e9); // a newer run
        QTRY_VERIFY(!shown->isVisible());
    }

    void nextRunWhileEnabled()
    {
        const QDateTime now(QDate(2026, 12, 3), QTime(10, 30)); // a Thursday
        m->clock.set(double(now.toSecsSinceEpoch()));
        auto *shown = child<QLabel>("nextRunValue");
        // Switch, frequency, hour (24: no timer, so no line).
        for (const QString row :
             {"off Daily 9", "on Hourly 9", "on Daily 9", "on Weekly 23", "on Daily 24"}) {
            m->settings.setFrequency(*frequencyFromRaw(row.section(' ', 1, 1)));
            m->settings.setHourOfDay(row.section(' ', 2).toLongLong());
            m->settings.setEnabled(row.startsWith("on"));
            const AppSettings::Values v = m->settings.values();
            const QDateTime next = nextRunTime(v.frequency, v.hourOfDay, now);
            QCOMPARE(shown->isVisible() ? shown->text() : row,
                     v.enabled && next.isValid() ? nextRunText(next.toSecsSinceEpoch(), now) : row);
        }
    }

    // The count's link opens the list: one row per entry counted, at most eight rows high.
    void previewList_data()
    {
        QTest::addColumn<QString>("row"); // files, age in hours, its text
        for (const char *row :
             {"12|240|10 days old", "1|24|1 day old", "2|5|5 hours old", "1|1|1 hour old"})
            QTest::newRow(row) << QString::fromLatin1(row);
    }
    void previewList()
    {
        QFETCH(QString, row);
        const int files = row.section('|', 0, 0).toInt();
        const QByteArray desktop = QFile::encodeName(m->desktop);
        for (int i = 0; i < files; ++i)
            QVERIFY(writeRaw(desktop + "/Screenshot " + QByteArray(i * 9, 'x') + ".png"));
        const double hours = row.section('|', 1, 1).toDouble();
        m->clock.set(double(QDateTime::currentSecsSinceEpoch()) + hours * 3600 + 30);
        m->settings.setAgeUnit(AgeUnit::Hours);
        click("previewButton");
        auto *list = child<QTreeWidget>("previewList");
        for (bool open : {false, true, false}) {
            QCOMPARE(list->isVisible(), open);
            click("previewValue");
        }
        QCOMPARE(list->topLevelItemCount(), files);
        QCOMPARE(list->height() < files * list->sizeHintForRow(0), files > 8);
        QVERIFY(list->width() <= 288 && m->view->width() == 320);
        const QTreeWidgetItem *last = list->topLevelItem(files - 1);
        const QByteArray path = desktop + '/' + QFile::encodeName(last->text(0));
        QVERIFY(exists(path) && last->text(1) == row.section('|', 2));
        QCOMPARE(last->text(2), FileSystem::entryDates(path).creation ? "created" : "modified");
    }

    // A scheduled run records itself from another process, through a settings file replaced
    // by a rename: an open panel shows it within a second, a hidden one when shown.
    void runRecordedElsewhere()
    {
        for (bool open : {true, false}) {
            for (qint64 count : {5, 7}) {
                m->view->setVisible(open);
                AppSettings other(m->home.settingsFile(), m->home.home());
                other.setLastRunDate(double(QDateTime::currentSecsSinceEpoch()));
                other.setLastRunCount(count + open);
                m->view->show();
                QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("trashedValue")->text(),
                                          QStringLiteral("%1 screenshots").arg(count + open), 1000);
            }
        }
        QVERIFY(child<QLabel>("lastRunValue")->text() != QStringLiteral("Never"));
    }

private:
    template <typename T> T *child(const char *name) { return m->view->findChild<T *>(name); }
    void click(const char *name) { QTest::mouseClick(child<QWidget>(name), Qt::LeftButton); }
    int yOf(const char *name) { return child<QWidget>(name)->mapTo(&*m->view, QPoint()).y(); }
    QStringList verbs() const // the tool's first arguments
    {
        return m->tool.calls().replaceInStrings(QRegularExpression(QStringLiteral("\\|.*")), {});
    }

    std::unique_ptr<Panel> m;
};

QTEST_MAIN(TestPanel)
#include "tst_panelmodel.moc"
