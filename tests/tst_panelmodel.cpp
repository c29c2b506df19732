#include "TestSupport.h"

#include "agent/AgentInstaller.h"
#include "app/AppDelegate.h"
#include "app/PanelPopup.h"
#include "app/PanelPresentation.h"
#include "app/PopupPlacement.h"
#include "app/PopupToggle.h"
#include "app/TrayMenu.h"
#include "cleanup/RunJournal.h"
#include "panel/ContentView.h"
#include "panel/PanelModel.h"
#include "panel/PanelStyle.h"
#include "panel/PanelText.h"
#include "platform/Translations.h"
#include "settings/AppSettings.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QToolTip>
#include <QTreeWidget>

// Wraps every text it is asked for: a text drawn without the wrapping did not go through tr().
class PseudoTranslator : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *, const char *source, const char *, int) const override
    {
        return QStringLiteral("\u27e6") + QString::fromUtf8(source) + QStringLiteral("\u27e7");
    }
};

using Action = PopupToggle::Action;
using Times = QList<double>;

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

// The panel's actions, driven through its widgets where it has them; the tray's click rule,
// placement and menu; the launch without a tray.
class TestPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The texts with dates and times below are these.
        qputenv("TZ", "UTC");
        tzset();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        installTranslations(QLocale::c(), false);
        setLogSink([](const QString &) {});
        m_sharedHome.emplace(); // before the shared settings are first made
    }
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

    void noticeFollowsEachListing_data()
    {
        QTest::addColumn<QString>("folder"); // under HOME
        QTest::addColumn<bool>("denied");
        QTest::addColumn<QByteArray>("button"); // what lists it
        const QByteArray on = "enabledSwitch", preview = "previewButton", run = "runNowButton";
        QTest::newRow("switching on over a missing folder") << "/Gone" << true << on;
        QTest::newRow("switching on over a readable folder") << "/Desktop" << false << on;
        QTest::newRow("Preview over a missing folder") << "/Gone" << true << preview;
        QTest::newRow("Preview over a readable folder") << "/Desktop" << false << preview;
        QTest::newRow("Run Now over a missing folder") << "/Gone" << true << run;
    }
    // The notice tells what the last listing found, coming from the other state: the probe half
    // a second after switching on, Preview and Run Now at once. Its button opens the nearest
    // folder that exists; switching off takes it away.
    void noticeFollowsEachListing()
    {
        QFETCH(QString, folder);
        QFETCH(bool, denied);
        QFETCH(QByteArray, button);
        auto *notice = child<QWidget>("permissionNotice");
        if (!denied) {
            m->settings.setSourceFolder(m->home.home() + QStringLiteral("/Gone"));
            click("previewButton");
            QVERIFY(m->model.permissionDenied());
        }
        m->settings.setSourceFolder(m->home.home() + folder);
        QSignalSpy changed(&m->model, &PanelModel::permissionDeniedChanged);
        const QDeadlineTimer soonest(450);
        click(button.constData());
        if (button == "enabledSwitch") {
            QCOMPARE(m->model.permissionDenied(), !denied);
            QVERIFY(changed.wait(5000) && soonest.hasExpired());
        }
        QCOMPARE(notice->isVisible(), denied);
        if (denied) {
            click("noticeButton");
            QCOMPARE(m->opened, QList{QUrl::fromLocalFile(m->home.home())});
            m->model.setEnabled(false);
            QVERIFY(!notice->isVisible());
        }
    }

    void schedulePickers_data()
    {
        QTest::addColumn<Frequency>("frequency");
        QTest::addColumn<QString>("next"); // the next run at 4, seen from Thursday 2026-12-03 10:30
        QTest::newRow("hourly") << Frequency::Hourly << "Today, 11:00 AM";
        QTest::newRow("daily, the hour gone today") << Frequency::Daily << "Tomorrow, 4:00 AM";
        QTest::newRow("weekly, which names the day") << Frequency::Weekly << "Sunday, 4:00 AM";
    }
    // The pickers store and, while enabled, reschedule; the next run follows, and goes for an
    // hour no timer is written for (from a hand-edited file) where the hour counts.
    void schedulePickers()
    {
        QFETCH(Frequency, frequency);
        const bool withHour = frequency != Frequency::Hourly;
        auto *nextRun = child<QLabel>("nextRunValue");
        m->clock.set(double(QDateTime(QDate(2026, 12, 3), QTime(10, 30)).toSecsSinceEpoch()));
        emit child<QComboBox>("hourPicker")->activated(7);
        QVERIFY(verbs().isEmpty() && !nextRun->isVisible()); // switched off: nothing scheduled
        m->model.setEnabled(true);
        emit child<QComboBox>("hourPicker")->activated(4);
        emit child<QComboBox>("frequencyPicker")->activated(allFrequencies().indexOf(frequency));
        QVERIFY(m->settings.frequency() == frequency && m->settings.hourOfDay() == 4);
        QCOMPARE(verbs(), QStringList({"load", "unload", "load", "unload", "load"}));
        QCOMPARE(readRaw(QFile::encodeName(agentFilePath(m->agent)))->contains("<integer>4<"),
                 withHour);
        QCOMPARE(child<QWidget>("hourPicker")->isVisible(), withHour);
        QTEST(nextRun->text(), "next");
        m->settings.setHourOfDay(24);
        QCOMPARE(nextRun->isVisible(), !withHour);
    }

    void ageField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("stored"); // refused: 9, the value before
        QTest::addColumn<bool>("closed");   // the panel closed instead of Return
        QTest::newRow("a number") << "5" << qint64(5) << false;
        QTest::newRow("blanks around it") << " 7 " << qint64(7) << false;
        QTest::newRow("letters") << "abc" << qint64(9) << false;
        QTest::newRow("more than 64 bits") << "99999999999999999999" << qint64(9) << false;
        QTest::newRow("a number, the panel closed") << "5" << qint64(5) << true;
        QTest::newRow("letters, the panel closed") << "abc" << qint64(9) << true;
    }
    // What the field shows is in force, also after the panel closed in the middle of an edit.
    void ageField()
    {
        QFETCH(QString, typed);
        QFETCH(qint64, stored);
        QFETCH(bool, closed);
        m->settings.setAgeValue(9);
        m->view->hide(); // the popup is all the app shows, as on X11
        PanelPopup popup(new ContentView(m->model));
        popup.showAt(QRect(600, 0, 24, 24));
        QVERIFY(QTest::qWaitForWindowExposed(&popup));
        auto *field = popup.findChild<QLineEdit *>("ageField");
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, typed);
        closed ? popup.hide() : QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(m->settings.ageValue(), stored);
        popup.showAt(QRect(600, 0, 24, 24));
        QCOMPARE(field->text(), QString::number(stored));
        emit child<QComboBox>("unitPicker")->activated(allAgeUnits().indexOf(AgeUnit::Weeks));
        QCOMPARE(m->settings.ageUnit(), AgeUnit::Weeks);
    }

    // The X11 popup closes when another window takes a click; the panel is back after the real
    // folder chooser, whatever the answer.
    void changeOverThePopupBringsThePanelBack_data()
    {
        QTest::addColumn<bool>("accepted");
        QTest::newRow("OK stores the folder") << true;
        QTest::newRow("Cancel leaves it") << false;
    }
    void changeOverThePopupBringsThePanelBack()
    {
        QFETCH(bool, accepted);
        const QString pictures = m->home.home() + QStringLiteral("/Pictures");
        QVERIFY(QDir().mkpath(pictures));
        auto *content = new ContentView(m->model);
        PanelPopup popup(content);
        popup.showAt(QRect(600, 0, 24, 24));
        QVERIFY(QTest::qWaitForWindowExposed(&popup));
        QString start;
        QTimer::singleShot(0, [&] { // runs inside the dialog's own loop
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            start = dialog->directory().path();
            dialog->setDirectory(pictures);
            QMetaObject::invokeMethod(dialog, accepted ? "accept" : "reject");
        });
        QTest::mouseClick(content->findChild<QWidget *>("changeButton"), Qt::LeftButton);
        QVERIFY(popup.isVisible() && start == m->desktop);
        QCOMPARE(m->settings.sourceFolder(), accepted ? pictures : m->desktop);
    }

    // Run Now takes what Preview counted, whatever the settings became since; failed moves show
    // beside the count; put back returns entries unless their name is taken meanwhile, and its
    // link stays while some are still in the Trash.
    void runNowFailuresAndPutBack()
    {
        const QByteArray desktop = QFile::encodeName(m->desktop);
        const QByteArrayList names{"/Screenshot 1.png", "/Screenshot 2.png", "/Screenshot 3.png"};
        for (const QByteArray &name : names + QByteArrayList{"/a.png"})
            QVERIFY(writeRaw(desktop + name, "old"));
        click("previewButton");
        click("previewValue"); // the list, closed by Run Now
        QCOMPARE(child<QAbstractButton>("previewValue")->text(), QStringLiteral("3 screenshots"));
        m->model.commitAgeText(QStringLiteral("30"));
        m->model.setAgeUnit(AgeUnit::Weeks);
        // What no real chooser answers: a relative path is refused, a trailing slash dropped.
        QStringList answers{"Pictures", m->home.home() + "/"};
        m->model.setFolderChooser([&](const QString &) { return answers.takeFirst(); });
        for (const QString &stored : {m->desktop, m->home.home()}) {
            m->model.chooseSourceFolder();
            QCOMPARE(m->settings.sourceFolder(), stored);
        }
        QCOMPARE(m->model.previewCount(), std::optional<qint64>(3));

        m->settings.setSourceFolder(m->desktop);
        m->settings.setAgeValue(1);
        auto *putBack = child<QWidget>("putBackButton");
        auto *failed = child<QLabel>("failedValue");
        click("runNowButton");
        QTRY_VERIFY(!m->model.runGoing()); // the moves are made on a worker thread
        QVERIFY(!child<QWidget>("previewLine")->isVisible() && !m->model.previewListOpen());
        QCOMPARE(namesIn(desktop), QList<QByteArray>{"a.png"});
        QTRY_COMPARE(child<QLabel>("trashedValue")->text(), QStringLiteral("3 screenshots"));
        QVERIFY(putBack->isVisible() && !failed->isVisible());

        const RunJournal journal{lastRunJournal().entries, 2, "Failed to trash /d/a.png: Denied"};
        QString error;
        QVERIFY2(RunJournalStore::writeJournal(journal, &error), qPrintable(error));
        m->settings.setLastRunFailedCount(2);
        QVERIFY(failed->isVisible() && failed->text() == QStringLiteral("(2 failed)"));
        QCOMPARE(failed->toolTip(), journal.firstFailure);
        // The reason reaches the keyboard and a screen reader, not only the pointer.
        child<QWidget>("trashedValue")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_VERIFY(failed->hasFocus() && QToolTip::text() == journal.firstFailure);
        QCOMPARE(QAccessible::queryAccessibleInterface(failed)->text(QAccessible::Description),
                 journal.firstFailure);

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

    // Run Now moves on a worker thread: the panel shows its progress while its loop goes on, and
    // Quit part way ends the app only after the entry under way, with the record written and a
    // journal naming exactly what went to the Trash. Quit leaves the login entry and schedule.
    void launchSwitchAndQuitDuringRunNow()
    {
        const QString entry = m->home.configHome() + "/autostart/quillbrook.desktop";
        click("launchSwitch");
        QVERIFY(!m->settings.launchAtLogin() && !QFile::exists(entry));
        click("launchSwitch");
        m->model.setEnabled(true);
        const int count = 2000;
        for (int i = 0; i < count; ++i)
            QVERIFY(writeRaw(QFile::encodeName(m->desktop) + "/Screenshot " +
                             QByteArray::number(i) + ".png"));
        QEventLoop loop;
        QString shown;
        int quits = 0;
        m->model.setQuitHandler([&] { ++quits, loop.quit(); });
        connect(&m->model, &PanelModel::runProgressChanged, &loop, [&] {
            if (!shown.isEmpty() || m->model.runProgress().value_or(std::pair(0, 0)).first == 0)
                return;
            shown = child<QLabel>("runProgress")->text();
            click("runNowButton"); // not a second run
            click("quitButton");
            QVERIFY(quits == 0 && m->model.runGoing());
        });
        LogCapture log;
        click("runNowButton");
        QTimer::singleShot(60000, &loop, &QEventLoop::quit); // a run that never ends fails
        loop.exec();
        QVERIFY2(shown.startsWith("Trashing\u2026 ") && shown.endsWith(" of 2,000"),
                 qPrintable(shown));
        const qint64 moved = namesIn(QFile::encodeName(m->home.trash()) + "/files").size();
        QVERIFY(quits == 1 && moved > 0 && moved < count && !m->model.runGoing());
        QCOMPARE(log.lines, QStringList{QStringLiteral("Run Now trashed %1").arg(moved)});
        QCOMPARE(m->settings.lastRunCount(), moved);
        const RunJournal journal = lastRunJournal();
        QCOMPARE(entriesStillInTrash(journal), moved);
        QCOMPARE(journal.entries.size(), moved);
        QVERIFY(m->settings.launchAtLogin() && QFile::exists(entry) && m->settings.enabled());
        QVERIFY(QFile::exists(agentFilePath(m->agent)));
        QCOMPARE(verbs(), QStringList{"load"});
    }

    // The count's link opens the list, oldest first, each name showing what tells it apart and
    // the full path as its tooltip; at most eight rows high, then it scrolls.
    void previewList_data()
    {
        QTest::addColumn<QStringList>("names"); // made in this order, a moment apart
        QTest::addColumn<qreal>("fontScale");
        QTest::addColumn<bool>("whole"); // the names fit
        QTest::addColumn<double>("hoursOld");
        QTest::addColumn<QString>("age");
        QStringList gnome, kde, many;
        for (const char *day : {"12-03", "11-28", "12-01"}) {
            gnome << QStringLiteral("Screenshot from 2026-%1 10-15-30.png").arg(day);
            kde << QStringLiteral("Screenshot_2026%1_101530.png").arg(day).remove('-');
        }
        for (int i = 12; i > 0; --i)
            many << QStringLiteral("Screenshot %1.png").arg(i);
        QTest::newRow("short names") << many << 1.0 << true << 240.0 << "10 days old";
        QTest::newRow("at a larger font") << gnome << 1.5 << false << 5.0 << "5 hours old";
        QTest::newRow("KDE's names at a larger font") << kde << 1.5 << false << 1.0 << "1 hour old";
        QTest::newRow("GNOME's and KDE's names together at a larger font")
            << gnome + kde << 1.5 << false << 2.0 << "2 hours old";
        QTest::newRow("one long name") << gnome.mid(1, 1) << 1.5 << false << 24.0 << "1 day old";
    }
    void previewList()
    {
        QFETCH(QStringList, names);
        QFETCH(qreal, fontScale);
        QFETCH(bool, whole);
        QFETCH(double, hoursOld);
        for (const QString &name : names) {
            QVERIFY(writeRaw(QFile::encodeName(m->desktop + '/' + name)));
            QTest::qSleep(15); // apart on the file system's coarse clock
        }
        m->clock.set(double(QDateTime::currentSecsSinceEpoch()) + hoursOld * 3600 + 30);
        m->settings.setAgeUnit(AgeUnit::Hours);
        QFont font = m->view->font();
        font.setPointSizeF(font.pointSizeF() * fontScale);
        m->view->setFont(font);
        click("previewButton");
        auto *list = child<QTreeWidget>("previewList");
        for (bool open : {false, true, false}) { // and open at the end
            QCOMPARE(list->isVisible(), open);
            click("previewValue");
        }
        QCOMPARE(list->topLevelItemCount(), names.size());
        QCOMPARE(list->height() < names.size() * list->sizeHintForRow(0), names.size() > 8);
        QVERIFY(list->width() <= 288 && m->view->width() == 320);
        const bool born = QFileInfo(m->desktop + '/' + names[0]).birthTime().isValid();
        QSet<QString> shown;
        for (int i = 0; i < names.size(); ++i) {
            const QTreeWidgetItem *item = list->topLevelItem(i);
            const QString text = item->text(0);
            QCOMPARE(item->toolTip(0), m->desktop + '/' + names[i]);
            QVERIFY2(names[i].contains(QString(text).remove(u'\u2026')), qPrintable(text));
            QCOMPARE(text == names[i], whole);
            QVERIFY(list->fontMetrics().horizontalAdvance(text) <= list->columnWidth(0));
            QTEST(item->text(1), "age");
            QCOMPARE(item->text(2), born ? "created" : "modified");
            shown.insert(text);
        }
        QCOMPARE(shown.size(), names.size());
    }

    // Every text the panel draws reaches 4.5:1 against what it is drawn on: the label's own
    // background, the notice's faint orange, a button's bezel; the focus ring 3:1.
    void contrast_data()
    {
        QTest::addColumn<QPalette>("palette");
        // Breeze's themes: the light one needs every shade adjusted, the ring's too.
        const auto breeze = [](const char *window, const char *text, const char *link) {
            QPalette palette{QColor(window)};
            for (QPalette::ColorRole role :
                 {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                palette.setColor(role, QColor(text));
            palette.setColor(QPalette::HighlightedText, QColor("#fcfcfc"));
            palette.setColor(QPalette::Highlight, QColor("#3daee9"));
            palette.setColor(QPalette::Link, QColor(link));
            return palette;
        };
        QTest::newRow("Qt's own light palette") << QApplication::style()->standardPalette();
        QTest::newRow("Breeze light") << breeze("#eff0f1", "#232629", "#2980b9");
        QTest::newRow("Breeze dark") << breeze("#31363b", "#eff0f1", "#1d99f3");
    }
    void contrast()
    {
        QFETCH(QPalette, palette);
        // The ratio of grey on white just above WCAG's threshold, as published.
        QCOMPARE(qRound(PanelStyle::contrastRatio(QColor("#767676"), Qt::white) * 100), 454);
        m->view->setPalette(palette);
        QVERIFY(PanelStyle::contrastRatio(PanelStyle::focusRingColor(palette),
                                          palette.color(QPalette::Window)) >= 3);
        auto *notice = child<QWidget>("permissionNotice");
        notice->show();
        for (QWidget *w : m->view->findChildren<QWidget *>()) {
            if (!qobject_cast<QLabel *>(w) && !qobject_cast<QAbstractButton *>(w))
                continue;
            QList<QColor> grounds{notice->isAncestorOf(w) ? PanelStyle::noticeBackground(palette)
                                                          : palette.color(QPalette::Window)};
            if (auto *button = qobject_cast<QPushButton *>(w)) {
                // Its bezel as the style paints it, down the middle, the text taken away.
                const QString label = button->text();
                button->setText(QString());
                const QImage bezel = button->grab().toImage();
                button->setText(label);
                grounds.clear();
                for (int y = 3; y < bezel.height() - 3; ++y)
                    grounds << bezel.pixelColor(bezel.width() / 2, y);
            }
            for (const QColor &background : std::as_const(grounds)) {
                // At ratio 1 it is the colour laid over the background, as the eye sees it.
                const QColor text = PanelStyle::withContrast(
                    w->palette().color(w->foregroundRole()), background, 1);
                const double ratio = PanelStyle::contrastRatio(text, background);
                QVERIFY2(ratio >= 4.5,
                         qPrintable(w->objectName() + ": " + text.name() + " on " +
                                    background.name() + " is " + QString::number(ratio)));
            }
        }
        // The ring shows around a control inside the notice too, over the notice's background.
        auto *button = child<QWidget>("noticeButton");
        button->setFocus();
        const QPoint outside = button->mapTo(&*m->view, QPoint(-4, button->height() / 2));
        QCOMPARE(m->view->grab().toImage().pixelColor(outside),
                 PanelStyle::focusRingColor(palette));
    }

    // With a catalogue that wraps every text, no text of the panel shows unwrapped but names,
    // paths, the locale's clock, the address and the close button's cross.
    void everyTextGoesThroughTranslation()
    {
        PseudoTranslator pseudo;
        QCoreApplication::installTranslator(&pseudo);
        QVERIFY(writeRaw(QFile::encodeName(m->desktop) + "/Screenshot 1.png"));
        m->view.emplace(m->model);
        m->view->show();
        click("previewButton");
        click("previewValue");
        m->settings.setSourceFolder(m->desktop + QStringLiteral("/gone"));
        m->model.setEnabled(true);
        QTRY_VERIFY(child<QWidget>("permissionNotice")->isVisible());
        QStringList escaped;
        const QStringList data = {"title", "folderPath", "hourPicker", "websiteLink",
                                  "closeButton"};
        for (QWidget *w : m->view->findChildren<QWidget *>()) {
            QStringList texts{w->accessibleName(), w->accessibleDescription(), w->toolTip()};
            if (auto *label = qobject_cast<QLabel *>(w))
                texts << label->text();
            if (auto *button = qobject_cast<QAbstractButton *>(w))
                texts << button->text();
            for (int i = 0; qobject_cast<QComboBox *>(w) && i < 24; ++i)
                texts << static_cast<QComboBox *>(w)->itemText(i);
            if (auto *list = qobject_cast<QTreeWidget *>(w)) {
                for (int column : {0, 1, 2})
                    texts << list->headerItem()->text(column);
                texts << list->topLevelItem(0)->text(1) << list->topLevelItem(0)->text(2);
            }
            for (const QString &text : std::as_const(texts))
                if (!text.isEmpty() && !text.contains(QChar(0x27e6)) &&
                    !data.contains(w->objectName()))
                    escaped << w->objectName() + QStringLiteral(": ") + text;
        }
        QCoreApplication::removeTranslator(&pseudo);
        QCOMPARE(escaped, QStringList());
    }

    // Clicks on the icon, and the panel closing by itself (on an outside press, which a press
    // on the icon also is), in time order; a close at a click's time comes first.
    void toggleRule_data()
    {
        QTest::addColumn<Times>("clicks");
        QTest::addColumn<Times>("selfCloses");
        QTest::addColumn<bool>("shownAtEnd");
        QTest::newRow("second click closes") << Times{10, 12} << Times{} << false;
        QTest::newRow("closed by the icon press") << Times{10, 12} << Times{12} << false;
        QTest::newRow("just after") << Times{10, 12.4} << Times{12} << true;
        QTest::newRow("clock went back") << Times{10, 12, 11} << Times{} << true;
    }
    void toggleRule()
    {
        QFETCH(Times, clicks);
        QFETCH(Times, selfCloses);
        FixedClock clock(0);
        PopupToggle toggle(clock);
        bool shown = false;
        while (!clicks.isEmpty()) {
            const bool closes = !selfCloses.isEmpty() && selfCloses.first() <= clicks.first();
            clock.set(closes ? selfCloses.takeFirst() : clicks.takeFirst());
            const Action action =
                closes ? (shown ? Action::Hide : Action::Nothing) : toggle.onActivated(shown);
            if (action == Action::Hide)
                toggle.noteHidden();
            shown = action == Action::Show || (shown && action == Action::Nothing);
        }
        QTEST(shown, "shownAtEnd");
    }

    void placement_data()
    {
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QPoint>("topLeft"); // of a 320 x 500 popup
        const QRect screen(0, 24, 1280, 776), small(0, 0, 900, 600), second(1280, 0, 1920, 1080);
        QTest::newRow("top right") << QRect(1250, 0, 24, 24) << screen << QPoint(960, 28);
        QTest::newRow("top left") << QRect(2, 0, 24, 24) << screen << QPoint(0, 28);
        QTest::newRow("above") << QRect(600, 560, 24, 24) << screen << QPoint(452, 56);
        QTest::newRow("no room") << QRect(600, 300, 24, 24) << small << QPoint(452, 100);
        QTest::newRow("screen 2") << QRect(3180, 0, 24, 24) << second << QPoint(2880, 28);
    }
    void placement()
    {
        QFETCH(QRect, anchor);
        QFETCH(QRect, screen);
        QTEST(popupPosition(anchor, QSize(320, 500), screen), "topLeft");
    }

    void presentation_data()
    {
        QTest::addColumn<QStringList>("p");
        QTest::addColumn<bool>("compositorPlaced");
        QTest::newRow("Wayland EGL") << QStringList{"wayland-egl", "", ""} << true;
        QTest::newRow("XWayland, session") << QStringList{"xcb", "wayland", ""} << true;
        QTest::newRow("XWayland, display") << QStringList{"xcb", "tty", "wayland-1"} << true;
        QTest::newRow("offscreen") << QStringList{"offscreen", "wayland", "wayland-0"} << false;
    }
    void presentation()
    {
        QFETCH(QStringList, p); // platform, session type, Wayland display
        QTEST(panelPresentation(p[0], p[1], p[2]) == PanelPresentation::CompositorPlacedWindow,
              "compositorPlaced");
    }

    // A scheduled run, another process, records itself by replacing the settings file: an open
    // panel shows it within a second, a hidden one when shown; so does a run that could not read
    // its folder. The tray menu mirrors the switch and offers put back while a run's screenshots
    // are in the Trash, whoever made the change; its "Enabled" is the panel's, so the schedule
    // follows.
    void recordFromElsewhere_data()
    {
        QTest::addColumn<bool>("fromMenu");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("folder"); // under HOME
        QTest::newRow("switched on and run from the menu") << true << false << "/Desktop";
        QTest::newRow("switched on and run elsewhere, the panel hidden")
            << false << false << "/Desktop";
        QTest::newRow("run elsewhere over a missing folder, the panel open")
            << false << true << "/Gone";
    }
    void recordFromElsewhere()
    {
        QFETCH(bool, fromMenu);
        QFETCH(bool, open);
        QFETCH(QString, folder);
        m->view->setVisible(open);
        QVERIFY(writeRaw(QFile::encodeName(m->desktop) + "/Screenshot 1.png"));
        m->settings.setSourceFolder(m->home.home() + folder);
        m->settings.setAgeValue(0); // the other process goes by the real clock
        TrayMenu menu(m->model);
        const QList<QAction *> items =
            menu.actions(); // Open, Run Now, Put Back, -, Enabled, -, Quit
        QAction *runNow = items.at(1), *putBack = items.at(2), *enabled = items.at(4);
        QVERIFY(!enabled->isChecked() && !putBack->isEnabled());
        if (fromMenu) {
            enabled->trigger();
            runNow->trigger();
        } else {
            AppSettings(m->home.settingsFile(), m->home.home()).setEnabled(true);
            QProcess run;
            run.setProcessEnvironment(m->home.processEnvironment());
            run.start(TestHome::quillbrookExecutable(), {QStringLiteral("--headless")});
            QVERIFY(run.waitForFinished(60000));
        }
        const bool found = folder == QStringLiteral("/Desktop");
        QTRY_VERIFY_WITH_TIMEOUT(enabled->isChecked() && putBack->isEnabled() == found, 1000);
        QCOMPARE(verbs().size(), fromMenu ? 1 : 0);
        m->view->show();
        QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("trashedValue")->text(), countPhrase(found ? 1 : 0),
                                  1000);
        QVERIFY(child<QLabel>("lastRunValue")->text() != QStringLiteral("Never"));
        auto *line = child<QLabel>("runErrorValue");
        QCOMPARE(line->isVisible() ? line->text() : QString(),
                 found ? QString()
                       : "Cannot list the source folder " + m->home.home() + folder +
                             ": No such file or directory");
    }

    // Without a tray the panel gets a window: at once when the user starts the app, after the
    // tray's grace at login. Before that, the login item is brought in line with the setting.
    void launchWithoutTray_data()
    {
        QTest::addColumn<int>("trayWaitMs");
        QTest::addColumn<bool>("launchAtLogin");
        QTest::newRow("started by the user, who wants it at login") << 0 << true;
        QTest::newRow("started at login, no longer wanted there") << 1000 << false;
    }
    void launchWithoutTray()
    {
        QFETCH(int, trayWaitMs);
        QFETCH(bool, launchAtLogin);
        const QString entry =
            m->home.configHome() + QStringLiteral("/autostart/quillbrook.desktop");
        // The opposite of what the setting asks for.
        QVERIFY(launchAtLogin ||
                (QDir().mkpath(QFileInfo(entry).path()) && writeRaw(QFile::encodeName(entry))));
        AppSettings::shared().setLaunchAtLogin(launchAtLogin);
        AppDelegate delegate{std::chrono::milliseconds(trayWaitMs)};
        delegate.applicationDidFinishLaunching();
        QCOMPARE(QFile::exists(entry), launchAtLogin);
        QCOMPARE(panels(), trayWaitMs ? 0 : 1);
        QTRY_COMPARE_WITH_TIMEOUT(panels(), 1, 10000);
        delegate.togglePopover(); // nothing to act on: no second panel
        QCOMPARE(panels(), 1);
    }

private:
    template <typename T> T *child(const char *name) { return m->view->findChild<T *>(name); }
    void click(const char *name) { QTest::mouseClick(child<QWidget>(name), Qt::LeftButton); }
    QStringList verbs() const // the tool's first arguments
    {
        return m->tool.calls().replaceInStrings(QRegularExpression(QStringLiteral("\\|.*")), {});
    }
    static qsizetype panels() // shown windows that hold a panel
    {
        const QWidgetList all = QApplication::topLevelWidgets();
        return std::count_if(all.begin(), all.end(), [](QWidget *w) {
            return w->isVisible() && w->findChild<ContentView *>();
        });
    }

    std::optional<TestHome> m_sharedHome; // of AppSettings::shared(), which AppDelegate reads
    std::unique_ptr<Panel> m;
};

QTEST_MAIN(TestPanel)
#include "tst_panelmodel.moc"
