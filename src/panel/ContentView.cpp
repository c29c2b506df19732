#include "ContentView.h"

#include "ElidedLabel.h"
#include "PanelModel.h"
#include "PanelStyle.h"
#include "PanelText.h"
#include "PermissionNotice.h"
#include "Picker.h"
#include "PreviewList.h"
#include "TextButton.h"
#include "ToggleSwitch.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

constexpr int margin = 16;
constexpr int sectionGap = 16;
constexpr int innerGap = 6;
constexpr int statusGap = 4;
constexpr int rowGap = 8;
constexpr int pickerWidth = 110;
constexpr int ageFieldWidth = 50;

// A row nested in its section's layout, not a widget of its own, keeps a caption and the
// controls it labels siblings, where Qt finds a control's label for a screen reader.
QHBoxLayout *makeRow(QWidget *owner = nullptr)
{
    auto *row = new QHBoxLayout(owner);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(rowGap);
    return row;
}

QVBoxLayout *makeColumn(QWidget *owner, int gap)
{
    auto *column = new QVBoxLayout(owner);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(gap);
    return column;
}

// The stored raw texts stay English; the pickers show them in the user's language.
const char *const shownValues[] = {
    QT_TRANSLATE_NOOP("ContentView", "Hourly"), QT_TRANSLATE_NOOP("ContentView", "Daily"),
    QT_TRANSLATE_NOOP("ContentView", "Weekly"), QT_TRANSLATE_NOOP("ContentView", "Hours"),
    QT_TRANSLATE_NOOP("ContentView", "Days"),   QT_TRANSLATE_NOOP("ContentView", "Weeks")};

QString shownValue(const QString &raw)
{
    for (const char *value : shownValues) {
        if (raw == QLatin1String(value))
            return ContentView::tr(value);
    }
    return raw;
}

Picker *makePicker(const QString &accessibleName, const QString &name)
{
    auto *picker = new Picker;
    picker->setObjectName(name);
    picker->setAccessibleName(accessibleName);
    picker->setMaximumWidth(pickerWidth);
    picker->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return picker;
}

} // namespace

ContentView::ContentView(PanelModel &model, QWidget *parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("contentView"));
    setFixedWidth(panelWidth);

    m_enabledSwitch = new ToggleSwitch(tr("Enabled"));
    m_enabledSwitch->setObjectName(QStringLiteral("enabledSwitch"));
    m_notice = new PermissionNotice;
    m_launchSwitch = new ToggleSwitch(tr("Launch at login"));
    m_launchSwitch->setObjectName(QStringLiteral("launchSwitch"));

    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(margin, margin, margin, margin);
    stack->setSpacing(sectionGap);
    stack->addWidget(makeHeader());
    stack->addWidget(makeDivider());
    stack->addWidget(m_enabledSwitch);
    stack->addWidget(m_notice);
    stack->addWidget(makeScheduleSection());
    stack->addWidget(makeAgeSection());
    stack->addWidget(makeFolderSection());
    stack->addWidget(m_launchSwitch);
    stack->addWidget(makeDivider());
    stack->addWidget(makeStatusBlock());
    stack->addWidget(makeRunRow());
    stack->addWidget(makeDivider());
    stack->addWidget(makeFooter());
    // Last in the keyboard's round, so that a panel which opens with the keyboard never has it
    // on the close button.
    setTabOrder(m_link, m_closeButton);

    connect(m_enabledSwitch, &ToggleSwitch::clicked, &m_model, &PanelModel::setEnabled);
    connect(m_launchSwitch, &ToggleSwitch::clicked, &m_model, &PanelModel::setLaunchAtLogin);
    connect(m_notice, &PermissionNotice::openInFileManagerClicked, &m_model,
            &PanelModel::openSourceFolderInFileManager);
    connect(&m_model, &PanelModel::previewCountChanged, this, &ContentView::refresh);
    connect(&m_model, &PanelModel::permissionDeniedChanged, this, &ContentView::refresh);
    connect(&m_model, &PanelModel::runRecordChanged, this, &ContentView::refresh);
    connect(&m_model, &PanelModel::runProgressChanged, this, &ContentView::refreshRunProgress);
    connect(&m_model.settings(), &AppSettings::changed, this, &ContentView::refresh);
    // A hidden panel reads everything again when it is shown.
    connect(&m_model, &PanelModel::settingsFileChanged, this, [this] {
        if (isVisible())
            refresh();
    });
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget *, QWidget *now) { onFocusChanged(now); });

    restyle();
    refresh();
}

ContentView::~ContentView()
{
    // The base destructor closes the window, and the age field's focus-out would commit into
    // a panel that is already half gone.
    m_ageField->disconnect(this);
    disconnect(qApp, nullptr, this, nullptr);
    disconnect(&m_model.settings(), nullptr, this, nullptr);
    disconnect(&m_model, nullptr, this, nullptr);
}

QWidget *ContentView::makeHeader()
{
    auto *header = new QWidget;
    auto *row = makeRow(header);
    m_headerIcon = new QLabel;
    m_title = new QLabel(QStringLiteral("Quillbrook"));
    m_title->setObjectName(QStringLiteral("title"));
    m_closeButton = new TextButton(QStringLiteral("\u2715"));
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setAccessibleName(tr("Close"));
    m_closeButton->setToolTip(tr("Close"));
    m_closeButton->hide();
    row->addWidget(m_headerIcon);
    row->addWidget(m_title);
    row->addStretch(1);
    row->addWidget(m_closeButton);
    connect(m_closeButton, &TextButton::clicked, this, &ContentView::closeRequested);
    return header;
}

void ContentView::setCloseButtonVisible(bool visible)
{
    m_closeButton->setVisible(visible);
}

QFrame *ContentView::makeDivider()
{
    auto *divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setLineWidth(1);
    divider->setFixedHeight(1);
    m_dividers.append(divider);
    return divider;
}

QLabel *ContentView::makeCaption(const QString &text, const QString &name)
{
    auto *caption = new QLabel(text);
    caption->setObjectName(name);
    caption->setProperty("captionStyle", true);
    m_secondaryLabels.append(caption);
    return caption;
}

QWidget *ContentView::makeScheduleSection()
{
    auto *section = new QWidget;
    section->setObjectName(QStringLiteral("scheduleSection"));
    auto *column = makeColumn(section, innerGap);
    QLabel *caption = makeCaption(tr("Frequency"), QStringLiteral("frequencyCaption"));
    column->addWidget(caption);

    auto *row = makeRow();
    m_frequencyPicker = makePicker(tr("Frequency"), QStringLiteral("frequencyPicker"));
    caption->setBuddy(m_frequencyPicker);
    for (Frequency frequency : allFrequencies())
        m_frequencyPicker->addItem(shownValue(rawValue(frequency)));
    m_atLabel = new QLabel(tr("at"));
    m_atLabel->setObjectName(QStringLiteral("atLabel"));
    m_secondaryLabels.append(m_atLabel);
    m_hourPicker = makePicker(tr("Hour"), QStringLiteral("hourPicker"));
    for (int hour = 0; hour < 24; ++hour)
        m_hourPicker->addItem(hourLabel(hour));
    row->addWidget(m_frequencyPicker);
    row->addWidget(m_atLabel);
    row->addWidget(m_hourPicker);
    row->addStretch(1);
    column->addLayout(row);

    connect(m_frequencyPicker, &QComboBox::activated, this, [this](int index) {
        const QList<Frequency> all = allFrequencies();
        if (index >= 0 && index < all.size())
            m_model.setFrequency(all.at(index));
    });
    connect(m_hourPicker, &QComboBox::activated, this, [this](int index) {
        if (index >= 0)
            m_model.setHourOfDay(index);
    });
    return section;
}

QWidget *ContentView::makeAgeSection()
{
    auto *section = new QWidget;
    auto *column = makeColumn(section, innerGap);
    QLabel *caption =
        makeCaption(tr("Delete screenshots older than"), QStringLiteral("ageCaption"));
    column->addWidget(caption);

    auto *row = makeRow();
    m_ageField = new QLineEdit;
    caption->setBuddy(m_ageField);
    m_ageField->setObjectName(QStringLiteral("ageField"));
    m_ageField->setAccessibleName(tr("Age limit"));
    m_ageField->setFixedWidth(ageFieldWidth);
    m_unitPicker = makePicker(tr("Age unit"), QStringLiteral("unitPicker"));
    for (AgeUnit unit : allAgeUnits())
        m_unitPicker->addItem(shownValue(rawValue(unit)));
    row->addWidget(m_ageField);
    row->addWidget(m_unitPicker);
    row->addStretch(1);
    column->addLayout(row);

    connect(m_ageField, &QLineEdit::editingFinished, this, &ContentView::commitAgeField);
    connect(m_unitPicker, &QComboBox::activated, this, [this](int index) {
        const QList<AgeUnit> all = allAgeUnits();
        if (index >= 0 && index < all.size())
            m_model.setAgeUnit(all.at(index));
    });
    return section;
}

QWidget *ContentView::makeFolderSection()
{
    auto *section = new QWidget;
    auto *column = makeColumn(section, innerGap);
    QLabel *caption = makeCaption(tr("Source folder"), QStringLiteral("folderCaption"));
    column->addWidget(caption);

    auto *row = makeRow();
    m_folderPath = new ElidedLabel;
    m_folderPath->setObjectName(QStringLiteral("folderPath"));
    m_folderPath->setAccessibleName(tr("Source folder"));
    caption->setBuddy(m_folderPath);
    m_changeButton = new QPushButton(tr("Change\u2026"));
    m_changeButton->setObjectName(QStringLiteral("changeButton"));
    row->addWidget(m_folderPath);
    row->addStretch(1);
    row->addWidget(m_changeButton);
    column->addLayout(row);

    connect(m_changeButton, &QPushButton::clicked, &m_model, &PanelModel::chooseSourceFolder);
    return section;
}

QWidget *ContentView::makeStatusLine(const QString &label, QWidget *value)
{
    auto *line = new QWidget;
    auto *row = makeRow(line);
    auto *labelText = new QLabel(label);
    labelText->setBuddy(value);
    labelText->setProperty("captionStyle", true);
    m_secondaryLabels.append(labelText);
    value->setProperty("captionStyle", true);
    row->addWidget(labelText);
    row->addWidget(value);
    row->addStretch(1);
    return line;
}

QLabel *ContentView::makeStatusValue(const QString &name)
{
    auto *value = new QLabel;
    value->setObjectName(name);
    value->setTextFormat(Qt::PlainText);
    return value;
}

QWidget *ContentView::makeStatusBlock()
{
    m_statusBlock = new QWidget;
    m_statusBlock->setObjectName(QStringLiteral("statusBlock"));
    auto *column = makeColumn(m_statusBlock, statusGap);
    m_lastRunValue = makeStatusValue(QStringLiteral("lastRunValue"));
    m_trashedValue = makeStatusValue(QStringLiteral("trashedValue"));
    column->addWidget(makeStatusLine(tr("Last run:"), m_lastRunValue));

    // The failures and the way back belong to the count they qualify.
    QWidget *trashedLine = makeStatusLine(tr("Trashed:"), m_trashedValue);
    auto *trashedRow = static_cast<QHBoxLayout *>(trashedLine->layout());
    m_failedValue = makeStatusValue(QStringLiteral("failedValue"));
    m_failedValue->setProperty("captionStyle", true);
    // The first failure is its tooltip: the keyboard reaches it, and focus shows it.
    m_failedValue->setFocusPolicy(Qt::StrongFocus);
    trashedRow->insertWidget(2, m_failedValue);
    m_putBackButton = new TextButton(tr("Put back"));
    m_putBackButton->setObjectName(QStringLiteral("putBackButton"));
    m_putBackButton->setLinkLook(true);
    m_putBackButton->setProperty("captionStyle", true);
    trashedRow->addWidget(m_putBackButton);
    column->addWidget(trashedLine);
    // Why the last run could not look at its folder, as its log line says it.
    m_runErrorValue = makeStatusValue(QStringLiteral("runErrorValue"));
    m_runErrorValue->setProperty("captionStyle", true);
    m_runErrorValue->setWordWrap(true);
    column->addWidget(m_runErrorValue);
    m_putBackSummary = makeStatusValue(QStringLiteral("putBackSummary"));
    m_putBackSummary->setProperty("captionStyle", true);
    m_putBackSummary->setWordWrap(true);
    m_secondaryLabels.append(m_putBackSummary);
    column->addWidget(m_putBackSummary);
    // Run Now under way, under the record it will replace.
    m_runProgress = makeStatusValue(QStringLiteral("runProgress"));
    m_runProgress->setProperty("captionStyle", true);
    m_secondaryLabels.append(m_runProgress);
    column->addWidget(m_runProgress);

    m_nextRunValue = makeStatusValue(QStringLiteral("nextRunValue"));
    m_nextRunLine = makeStatusLine(tr("Next run:"), m_nextRunValue);
    m_nextRunLine->setObjectName(QStringLiteral("nextRunLine"));
    column->addWidget(m_nextRunLine);

    m_previewValue = new TextButton(QString());
    m_previewValue->setObjectName(QStringLiteral("previewValue"));
    m_previewValue->setLinkLook(true);
    m_previewValue->setExpanded(false);
    m_previewLine = makeStatusLine(tr("Would trash now:"), m_previewValue);
    m_previewLine->setObjectName(QStringLiteral("previewLine"));
    column->addWidget(m_previewLine);
    m_previewList = new PreviewList;
    m_previewList->setObjectName(QStringLiteral("previewList"));
    m_previewList->setProperty("captionStyle", true);
    column->addWidget(m_previewList);

    connect(m_putBackButton, &TextButton::clicked, &m_model, &PanelModel::putBack);
    connect(m_previewValue, &TextButton::clicked, &m_model, &PanelModel::togglePreviewList);
    return m_statusBlock;
}

QWidget *ContentView::makeRunRow()
{
    auto *rowWidget = new QWidget;
    auto *row = makeRow(rowWidget);
    m_runNowButton = new QPushButton(tr("Run Now"));
    m_runNowButton->setObjectName(QStringLiteral("runNowButton"));
    m_previewButton = new QPushButton(tr("Preview"));
    m_previewButton->setObjectName(QStringLiteral("previewButton"));
    row->addWidget(m_runNowButton);
    row->addWidget(m_previewButton);
    row->addStretch(1);
    connect(m_runNowButton, &QPushButton::clicked, &m_model, &PanelModel::runNow);
    connect(m_previewButton, &QPushButton::clicked, &m_model, &PanelModel::showPreview);
    return rowWidget;
}

QWidget *ContentView::makeFooter()
{
    auto *footer = new QWidget;
    auto *row = makeRow(footer);
    m_quitButton = new TextButton(tr("Quit"));
    m_quitButton->setObjectName(QStringLiteral("quitButton"));
    m_link = new TextButton(PanelModel::websiteText());
    m_link->setObjectName(QStringLiteral("websiteLink"));
    m_link->setLinkLook(true);
    m_link->setAccessibleRole(QAccessible::Link);
    m_link->setToolTip(PanelModel::websiteUrl().toString());
    row->addWidget(m_quitButton);
    row->addStretch(1);
    row->addWidget(m_link);
    connect(m_quitButton, &TextButton::clicked, &m_model, &PanelModel::quit);
    connect(m_link, &TextButton::clicked, &m_model, &PanelModel::openWebsite);
    return footer;
}

void ContentView::restyle()
{
    // Setting fonts and palettes on children sends change events of their own; ignore those.
    m_restyling = true;
    const QPalette &pal = palette();
    const QColor secondary = PanelStyle::secondaryColor(pal);
    const QFont caption = PanelStyle::captionFont(font());

    m_title->setFont(PanelStyle::headlineFont(font()));
    const int iconSize = QFontMetrics(m_title->font()).height();
    m_headerIcon->setPixmap(
        PanelStyle::tintedPixmap(QStringLiteral("user-trash-full"), iconSize, secondary, this));
    m_headerIcon->setFixedSize(iconSize, iconSize);

    for (QWidget *widget : findChildren<QWidget *>()) {
        if (widget->property("captionStyle").toBool())
            widget->setFont(caption);
    }
    for (QLabel *label : std::as_const(m_secondaryLabels))
        PanelStyle::setTextColor(label, secondary);
    PanelStyle::setTextColor(m_previewValue, PanelStyle::orangeColor(pal));
    PanelStyle::setTextColor(m_runErrorValue, PanelStyle::orangeColor(pal));
    PanelStyle::setTextColor(m_putBackButton, PanelStyle::linkColor(pal));

    for (QFrame *divider : std::as_const(m_dividers)) {
        QPalette dividerPalette = divider->palette();
        dividerPalette.setColor(QPalette::WindowText, PanelStyle::separatorColor(pal));
        divider->setPalette(dividerPalette);
    }

    m_folderPath->setFont(PanelStyle::monospaceFont(font()));
    m_changeButton->setFont(PanelStyle::smallControlFont(font()));

    // "Run Now" is the prominent button: its bezel filled with the accent colour.
    QPalette accent = m_runNowButton->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        accent.setColor(group, QPalette::Button,
                        PanelStyle::accentFill(pal, group, m_runNowButton));
        accent.setColor(group, QPalette::ButtonText, pal.color(group, QPalette::HighlightedText));
    }
    m_runNowButton->setPalette(accent);

    PanelStyle::setTextColor(m_quitButton, secondary);
    PanelStyle::setTextColor(m_closeButton, secondary);
    m_link->setFont(caption);
    PanelStyle::setTextColor(m_link, secondary);

    m_restyling = false;
}

void ContentView::refresh()
{
    // One read of the settings file for everything shown.
    const AppSettings::Values values = m_model.settings().values();

    m_enabledSwitch->setChecked(values.enabled);
    m_notice->setVisible(m_model.permissionDenied());

    const Frequency frequency = values.frequency;
    m_frequencyPicker->setCurrentIndex(allFrequencies().indexOf(frequency));
    const bool withHour = frequency != Frequency::Hourly;
    const qint64 hour = values.hourOfDay;
    m_hourPicker->setCurrentIndex(hour >= 0 && hour < 24 ? int(hour) : -1);
    m_atLabel->setVisible(withHour);
    m_hourPicker->setVisible(withHour);

    refreshAgeField(values.ageValue);
    m_unitPicker->setCurrentIndex(allAgeUnits().indexOf(values.ageUnit));
    m_ageField->setAccessibleDescription(m_unitPicker->currentText());

    m_folderPath->setText(displayFolderPath(values.sourceFolder, QDir::homePath()));
    m_launchSwitch->setChecked(values.launchAtLogin);

    refreshStatusBlock(values);
    refreshRunProgress();
}

void ContentView::refreshRunProgress()
{
    const std::optional<std::pair<qint64, qint64>> progress = m_model.runProgress();
    m_runProgress->setVisible(progress.has_value());
    if (!progress)
        return;
    const auto [done, total] = *progress;
    // Until the run has chosen its entries (it may wait for another run first) there is no total.
    const QLocale locale;
    m_runProgress->setText(
        total == 0
            ? tr("Trashing\u2026")
            : tr("Trashing\u2026 %1 of %2").arg(locale.toString(done), locale.toString(total)));
}

void ContentView::refreshStatusBlock(const AppSettings::Values &values)
{
    m_lastRunValue->setText(lastRunText(values.lastRunDate, QDateTime::currentDateTime()));
    m_trashedValue->setText(countPhrase(values.lastRunCount));
    m_model.syncRunRecord(values);
    m_failedValue->setText(pluralText("ContentView",
                                      QT_TRANSLATE_N_NOOP("ContentView", "(%n failed)"),
                                      values.lastRunFailedCount));
    m_failedValue->setToolTip(m_model.firstFailure());
    m_failedValue->setVisible(values.lastRunFailedCount > 0);
    m_runErrorValue->setText(values.lastRunError);
    m_runErrorValue->setVisible(!values.lastRunError.isEmpty());
    m_putBackButton->setVisible(m_model.canPutBack());
    m_putBackSummary->setText(m_model.putBackSummary());
    m_putBackSummary->setVisible(!m_model.putBackSummary().isEmpty());

    const QString nextRun = m_model.nextRunLine(values);
    m_nextRunValue->setText(nextRun);
    m_nextRunLine->setVisible(!nextRun.isEmpty());

    const std::optional<qint64> preview = m_model.previewCount();
    if (preview)
        m_previewValue->setText(countPhrase(*preview));
    m_previewLine->setVisible(preview.has_value());
    const QList<PreviewRow> &rows = m_model.previewRows();
    m_previewList->setRows(rows);
    m_previewList->setVisible(m_model.previewListOpen() && !rows.isEmpty());
    m_previewValue->setExpanded(m_previewList->isVisibleTo(this));
}

void ContentView::commitAgeField()
{
    m_model.commitAgeText(m_ageField->text());
    // Refused text gives way to the stored value, which shows the user it was not taken.
    m_ageField->setText(QString::number(m_model.settings().ageValue()));
}

void ContentView::refreshAgeField(qint64 stored)
{
    // Never overwrite what the user is typing; the commit puts the stored value back.
    if (!m_ageField->hasFocus())
        m_ageField->setText(QString::number(stored));
}

void ContentView::fitHeight()
{
    QLayout *stack = layout();
    const int height = stack->hasHeightForWidth() ? stack->totalHeightForWidth(panelWidth)
                                                  : stack->totalSizeHint().height();
    if (height != this->height() || minimumHeight() != height)
        setFixedHeight(height);
}

bool ContentView::event(QEvent *event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest) {
        fitHeight();
        update(); // the ring follows its control
    }
    return handled;
}

void ContentView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (!m_restyling &&
        (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange))
        restyle();
}

void ContentView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Closing the panel ends the edit as leaving the field does; the field keeps no number that
    // is not in force, whatever the way the panel went (a click outside, the icon, Escape).
    if (m_ageField->text() != QString::number(m_model.settings().ageValue()))
        commitAgeField();
}

void ContentView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A scheduled run in another process may have written a new record since the last look.
    refresh();
    // Never where the last opening left it: a Space meant for "Enabled" must not run a cleanup.
    m_enabledSwitch->setFocus(Qt::TabFocusReason);
}

void ContentView::keyPressEvent(QKeyEvent *event)
{
    // Return presses the focused button, as Space does; Qt's buttons take it only in dialogs.
    auto *button = qobject_cast<QAbstractButton *>(focusWidget());
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && button &&
        isAncestorOf(button)) {
        event->accept();
        button->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ContentView::onFocusChanged(QWidget *now)
{
    update();
    // What the pointer would show on hover, shown to the keyboard too.
    if (now && isAncestorOf(now) && !now->toolTip().isEmpty())
        QToolTip::showText(now->mapToGlobal(QPoint(0, now->height())), now->toolTip(), now);
}

void ContentView::paintEvent(QPaintEvent *)
{
    PanelStyle::paintFocusRing(this);
}
