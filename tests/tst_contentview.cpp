#include "FixedClock.h"
#include "TestHome.h"

#include "agent/AgentInstaller.h"
#include "panel/ContentView.h"
#include "panel/ElidedLabel.h"
#include "panel/PanelModel.h"
#include "platform/Log.h"
#include "settings/AppSettings.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

class TestContentView : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home = std::make_unique<TestHome>();
        m_desktop = m_home->home() + QStringLiteral("/Desktop");
        QVERIFY(QDir().mkpath(m_desktop));
        m_settings = std::make_unique<AppSettings>(m_home->settingsFile(), m_home->home());
        m_clock.set(double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 + 10 * 86400.0);
        m_model = std::make_unique<PanelModel>(*m_settings, m_clock);
        // No scheduler tool at all: the agent file is still written, the tool fails to start.
        m_model->setAgentContext({m_home->configHome() + QStringLiteral("/quillbrook/LaunchAgents"),
                                  m_home->home() + QStringLiteral("/no-tool")});
        setLogSink([](const QString &) {});
        m_view = std::make_unique<ContentView>(*m_model);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    }

    void cleanup()
    {
        m_view.reset();
        m_model.reset();
        m_settings.reset();
        setLogSink({});
        m_home.reset();
    }

    void freshPanelShowsDefaults()
    {
        QCOMPARE(m_view->width(), 320);
        QCOMPARE(label("title")->text(), QStringLiteral("Quillbrook"));
        QCOMPARE(label("lastRunValue")->text(), QStringLiteral("Never"));
        QCOMPARE(label("trashedValue")->text(), QStringLiteral("0 screenshots"));
        QVERIFY(!child<QWidget>("previewLine")->isVisible());
        QVERIFY(!child<QWidget>("permissionNotice")->isVisible());
        QCOMPARE(child<ElidedLabel>("folderPath")->text(), QStringLiteral("~/Desktop"));
        QCOMPARE(child<QPushButton>("changeButton")->text(), QString::fromUtf8("Change\u2026"));
        QVERIFY(!child<QAbstractButton>("enabledSwitch")->isChecked());
        QVERIFY(child<QAbstractButton>("launchSwitch")->isChecked());
        QCOMPARE(child<QLineEdit>("ageField")->text(), QStringLiteral("1"));
        QCOMPARE(child<QLineEdit>("ageField")->width(), 50);
        QCOMPARE(child<QComboBox>("unitPicker")->currentText(), QStringLiteral("Days"));
        QCOMPARE(child<QComboBox>("frequencyPicker")->currentText(), QStringLiteral("Daily"));
        QComboBox *hours = child<QComboBox>("hourPicker");
        QCOMPARE(hours->count(), 24);
        QCOMPARE(hours->itemText(0), QStringLiteral("12:00 AM"));
        QCOMPARE(hours->itemText(23), QStringLiteral("11:00 PM"));
        QCOMPARE(hours->currentText(), QStringLiteral("3:00 AM"));
        QVERIFY(hours->width() <= 110);
    }

    void hourPickerOnlyForDailyAndWeekly_data()
    {
        QTest::addColumn<int>("frequency");
        QTest::addColumn<bool>("withHour");
        QTest::newRow("hourly") << int(Frequency::Hourly) << false;
        QTest::newRow("daily") << int(Frequency::Daily) << true;
        QTest::newRow("weekly") << int(Frequency::Weekly) << true;
    }
    void hourPickerOnlyForDailyAndWeekly()
    {
        QFETCH(int, frequency);
        QFETCH(bool, withHour);
        m_settings->setHourOfDay(15);
        m_model->setFrequency(Frequency(frequency));
        QCOMPARE(child<QWidget>("atLabel")->isVisible(), withHour);
        QCOMPARE(child<QWidget>("hourPicker")->isVisible(), withHour);
        QCOMPARE(m_settings->hourOfDay(), qint64(15));
    }

    void noticeComesAndGoesWithoutGap()
    {
        QWidget *toggle = child<QWidget>("enabledSwitch");
        QWidget *notice = child<QWidget>("permissionNotice");
        const int toggleBottom = toggle->geometry().bottom() + 1;
        const int captionY = yOf("frequencyCaption");
        QCOMPARE(captionY, toggleBottom + 16);

        m_settings->setSourceFolder(m_home->home() + QStringLiteral("/Gone"));
        m_model->setEnabled(true);
        QTRY_VERIFY(notice->isVisible());
        QTRY_COMPARE(yOf("frequencyCaption"), notice->geometry().bottom() + 1 + 16);
        QCOMPARE(notice->geometry().top(), toggleBottom + 16);
        QCOMPARE(notice->width(), 288);
        // The explanation wraps over several lines inside the box.
        QLabel *explanation = child<QLabel>("noticeExplanation");
        QVERIFY(explanation->height() > 2 * explanation->fontMetrics().height());
        QVERIFY(notice->rect().contains(explanation->geometry()));

        m_model->setEnabled(false);
        QVERIFY(!notice->isVisible());
        QTRY_COMPARE(yOf("frequencyCaption"), captionY);
    }

    void previewLineFollowsTheModel()
    {
        QFile shot(m_desktop + QStringLiteral("/Screenshot 1.png"));
        QVERIFY(shot.open(QIODevice::WriteOnly));
        shot.close();
        QTest::mouseClick(child<QPushButton>("previewButton"), Qt::LeftButton);
        QVERIFY(child<QWidget>("previewLine")->isVisible());
        QCOMPARE(label("previewValue")->text(), QStringLiteral("1 screenshot"));

        // Hiding and showing the panel keeps the preview.
        m_view->hide();
        m_view->show();
        QVERIFY(child<QWidget>("previewLine")->isVisible());

        QTest::mouseClick(child<QPushButton>("runNowButton"), Qt::LeftButton);
        QVERIFY(!child<QWidget>("previewLine")->isVisible());
        QTRY_COMPARE(label("trashedValue")->text(), QStringLiteral("1 screenshot"));
        QVERIFY(label("lastRunValue")->text() != QStringLiteral("Never"));
    }

    void runRecordedElsewhereShowsWhenReopened()
    {
        // Another process (a scheduled run) writes the record through its own settings object.
        m_view->hide();
        AppSettings other(m_home->settingsFile(), m_home->home());
        other.setLastRunDate(double(QDateTime::currentSecsSinceEpoch()));
        other.setLastRunCount(5);
        m_view->show();
        QCOMPARE(label("trashedValue")->text(), QStringLiteral("5 screenshots"));
        QVERIFY(label("lastRunValue")->text() != QStringLiteral("Never"));
    }

    void ageFieldCommit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("number") << "12"
                                << "12";
        QTest::newRow("letters put back") << "abc"
                                          << "1";
        QTest::newRow("fraction put back") << "1.5"
                                           << "1";
        QTest::newRow("zero") << "0"
                              << "0";
    }
    void ageFieldCommit()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QLineEdit *field = child<QLineEdit>("ageField");
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(field->text(), shown);
        QCOMPARE(m_settings->ageValue(), shown.toLongLong());
    }

    void longPathShortenedInTheMiddle()
    {
        const QString longPath = QStringLiteral("/srv/archive/") + QString(60, QLatin1Char('x')) +
                                 QStringLiteral("/Screens");
        m_settings->setSourceFolder(longPath);
        ElidedLabel *path = child<ElidedLabel>("folderPath");
        QCOMPARE(path->text(), longPath);
        // Wait for the row to be laid out anew for the longer text.
        QTRY_VERIFY(path->shownText().endsWith(QStringLiteral("/Screens")));
        QVERIFY(path->shownText().contains(QChar(0x2026)));
        QVERIFY(path->shownText().startsWith(QStringLiteral("/srv/archive/")));
        QWidget *change = child<QWidget>("changeButton");
        QCOMPARE(change->mapTo(m_view.get(), QPoint(change->width(), 0)).x(), 320 - 16);
    }

    void footerSitsAtBothEdges()
    {
        QWidget *quit = child<QWidget>("quitButton");
        QWidget *link = child<QWidget>("websiteLink");
        QCOMPARE(quit->mapTo(m_view.get(), QPoint(0, 0)).x(), 16);
        QCOMPARE(link->mapTo(m_view.get(), QPoint(link->width(), 0)).x(), 320 - 16);
        QCOMPARE(static_cast<QAbstractButton *>(quit)->text(), QStringLiteral("Quit"));
    }

    // Renders the main states to PNG files in the build folder for a look by eye.
    void renderStates()
    {
        render(QStringLiteral("fresh"));

        m_settings->setFrequency(Frequency::Hourly);
        render(QStringLiteral("hourly"));
        m_settings->setFrequency(Frequency::Daily);

        QFile shot(m_desktop + QStringLiteral("/Screenshot 1.png"));
        QVERIFY(shot.open(QIODevice::WriteOnly));
        shot.close();
        m_model->showPreview();
        render(QStringLiteral("preview"));

        m_settings->setSourceFolder(m_home->home() + QStringLiteral("/Gone"));
        m_model->setEnabled(true);
        QTRY_VERIFY(m_model->permissionDenied());
        render(QStringLiteral("notice"));
    }

private:
    template <typename T> T *child(const char *name)
    {
        T *found = m_view->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    QLabel *label(const char *name) { return child<QLabel>(name); }

    int yOf(const char *name)
    {
        return child<QWidget>(name)->mapTo(m_view.get(), QPoint(0, 0)).y();
    }

    void render(const QString &state)
    {
        QCoreApplication::processEvents();
        const QString file = QStringLiteral(QUILLBROOK_BINARY_DIR "/panel-%1.png").arg(state);
        QVERIFY(m_view->grab().save(file));
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<PanelModel> m_model;
    std::unique_ptr<ContentView> m_view;
    FixedClock m_clock;
    QString m_desktop;
};

QTEST_MAIN(TestContentView)
#include "tst_contentview.moc"
