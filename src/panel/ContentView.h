#pragma once

#include "settings/AppSettings.h"

#include <QWidget>

class ElidedLabel;
class PanelModel;
class PermissionNotice;
class PreviewList;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class TextButton;
class ToggleSwitch;

/**
 * The control panel: 320 wide, as tall as its content. Draws the settings and the panel's own
 * state from @p model and forwards every user action to it. It keeps no copy of any setting:
 * everything is read again on each change of the settings, whoever wrote it, and each time the
 * panel is shown. Each time it is shown the keyboard starts at its first control, "Enabled";
 * the control that has the keyboard wears a ring, shows its tooltip, and takes Return as a
 * press.
 */
class ContentView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int panelWidth = 320;

    explicit ContentView(PanelModel &model, QWidget *parent = nullptr);
    ~ContentView() override;

    PanelModel &model() const { return m_model; }

    /** Reads every setting and the panel state again and shows them. */
    void refresh();

    /**
     * A close button at the right of the header, for a panel in a window of its own that no
     * outside click closes; it sends closeRequested(). Hidden until asked for.
     */
    void setCloseButtonVisible(bool visible);

signals:
    void closeRequested();

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *makeHeader();
    QWidget *makeScheduleSection();
    QWidget *makeAgeSection();
    QWidget *makeFolderSection();
    QWidget *makeStatusBlock();
    QWidget *makeRunRow();
    QWidget *makeFooter();
    QFrame *makeDivider();
    QLabel *makeCaption(const QString &text, const QString &name);
    QWidget *makeStatusLine(const QString &label, QWidget *value);
    QLabel *makeStatusValue(const QString &name);

    void restyle();
    void commitAgeField();
    void refreshAgeField(qint64 stored);
    void refreshStatusBlock(const AppSettings::Values &values);
    void refreshRunProgress();
    void fitHeight();
    void onFocusChanged(QWidget *now);

    PanelModel &m_model;
    bool m_restyling = false;

    QLabel *m_headerIcon = nullptr;
    QLabel *m_title = nullptr;
    TextButton *m_closeButton = nullptr;
    ToggleSwitch *m_enabledSwitch = nullptr;
    PermissionNotice *m_notice = nullptr;
    QComboBox *m_frequencyPicker = nullptr;
    QLabel *m_atLabel = nullptr;
    QComboBox *m_hourPicker = nullptr;
    QLineEdit *m_ageField = nullptr;
    QComboBox *m_unitPicker = nullptr;
    ElidedLabel *m_folderPath = nullptr;
    QPushButton *m_changeButton = nullptr;
    ToggleSwitch *m_launchSwitch = nullptr;
    QWidget *m_statusBlock = nullptr;
    QLabel *m_lastRunValue = nullptr;
    QLabel *m_trashedValue = nullptr;
    QLabel *m_failedValue = nullptr;
    QLabel *m_runErrorValue = nullptr;
    TextButton *m_putBackButton = nullptr;
    QLabel *m_putBackSummary = nullptr;
    QWidget *m_nextRunLine = nullptr;
    QLabel *m_nextRunValue = nullptr;
    QWidget *m_previewLine = nullptr;
    TextButton *m_previewValue = nullptr;
    PreviewList *m_previewList = nullptr;
    QPushButton *m_runNowButton = nullptr;
    QPushButton *m_previewButton = nullptr;
    QLabel *m_runProgress = nullptr;
    TextButton *m_quitButton = nullptr;
    TextButton *m_link = nullptr;
    QList<QLabel *> m_secondaryLabels;
    QList<QFrame *> m_dividers;
};
