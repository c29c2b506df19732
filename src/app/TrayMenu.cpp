#include "TrayMenu.h"

#include "panel/PanelModel.h"

TrayMenu::TrayMenu(PanelModel &model, QWidget *parent) : QMenu(parent), m_model(model)
{
    setObjectName(QStringLiteral("trayMenu"));
    addAction(tr("Open Quillbrook"), this, &TrayMenu::openRequested);
    m_runNow = addAction(tr("Run Now"), &m_model, &PanelModel::runNow);
    m_putBack = addAction(tr("Put Back Last Run"), &m_model, &PanelModel::putBack);
    addSeparator();
    m_enabled = addAction(tr("Enabled"));
    m_enabled->setCheckable(true);
    // Through the model, as the panel's switch, so that the schedule follows.
    connect(m_enabled, &QAction::triggered, &m_model, &PanelModel::setEnabled);
    addSeparator();
    addAction(tr("Quit"), &m_model, &PanelModel::quit);

    connect(&m_model.settings(), &AppSettings::changed, this, &TrayMenu::refresh);
    connect(&m_model, &PanelModel::settingsFileChanged, this, &TrayMenu::refresh);
    connect(&m_model, &PanelModel::runRecordChanged, this, &TrayMenu::refresh);
    connect(&m_model, &PanelModel::runProgressChanged, this, &TrayMenu::refreshRunActions);
    refresh();
}

void TrayMenu::refresh()
{
    const AppSettings::Values values = m_model.settings().values();
    m_model.syncRunRecord(values);
    m_enabled->setChecked(values.enabled);
    refreshRunActions();
}

void TrayMenu::refreshRunActions()
{
    // While Run Now is under way a second run, or a put back of the run it replaces, waits.
    m_runNow->setEnabled(!m_model.runGoing());
    m_putBack->setEnabled(m_model.canPutBack() && !m_model.runGoing());
}
