#include "TestSupport.h"

#include "agent/AgentInstaller.h"
#include "panel/ContentView.h"
#include "panel/PanelModel.h"
#include "settings/AppSettings.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>

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
        QCOMPARE(child<QLabel>("previewValue")->text(), QStringLiteral("3 screenshots"));
        m->model.commitAgeText(QStringLiteral("30"));
        m->model.setAgeUnit(AgeUnit::Weeks);
        m->model.setFolderChooser([&](const QString &) { return std::optional(m->home.home()); });
        m->model.chooseSourceFolder();
        QCOMPARE(m->model.previewCount(), std::optional<qint64>(3));

        m->settings.setSourceFolder(m->desktop);
        m->settings.setAgeValue(1);
        LogCapture log;
        click("runNowButton");
        QVERIFY(!child<QWidget>("previewLine")->isVisible());
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
