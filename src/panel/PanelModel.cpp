#include "PanelModel.h"

#include "PanelText.h"

#include "cleanup/Clock.h"
#include "cleanup/FileSystem.h"
#include "cleanup/ScreenshotCleanup.h"
#include "platform/Log.h"
#include "settings/AppSettings.h"
#include "settings/LoginItem.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QRegularExpression>
#include <QTimer>

namespace {

std::optional<QString> chooseWithDialog(const QString &startFolder)
{
    // Over the panel, so that a panel which closes when another window takes the focus does not
    // count the chooser as one.
    const QString chosen = QFileDialog::getExistingDirectory(
        QApplication::activeWindow(), QString(), startFolder, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

} // namespace

QString PanelModel::websiteText()
{
    return QStringLiteral("quillbrook.org");
}

QUrl PanelModel::websiteUrl()
{
    return QUrl(QStringLiteral("https://quillbrook.org/"));
}

PanelModel::PanelModel(AppSettings &settings, QObject *parent)
    : PanelModel(settings, Clock::system(), parent)
{
}

PanelModel::PanelModel(AppSettings &settings, const Clock &clock, QObject *parent)
    : QObject(parent), m_settings(settings), m_clock(clock), m_folderChooser(chooseWithDialog),
      m_urlOpener([](const QUrl &url) { QDesktopServices::openUrl(url); }),
      m_quitHandler([] { QCoreApplication::quit(); })
{
}

void PanelModel::setEnabled(bool on)
{
    m_settings.setEnabled(on);
    if (on) {
        // Where the system guards the folder, this first read is what makes it ask the user;
        // the probe a moment later finds out what the user answered.
        const double now = m_clock.now();
        selectCandidates(m_settings.sourceFolder(), now, m_clock);
        QTimer::singleShot(probeDelayMs, Qt::PreciseTimer, this,
                           [this] { setPermissionDenied(probeFolderAccess(m_settings)); });
    } else {
        setPermissionDenied(false);
    }
    applyScheduleNow();
}

void PanelModel::setFrequency(Frequency frequency)
{
    m_settings.setFrequency(frequency);
    applyScheduleNow();
}

void PanelModel::setHourOfDay(qint64 hour)
{
    m_settings.setHourOfDay(hour);
    applyScheduleNow();
}

bool PanelModel::commitAgeText(const QString &text)
{
    // Whole numbers only: a fraction is refused rather than silently rounded to another limit.
    static const QRegularExpression wholeNumber(QStringLiteral("^[+-]?[0-9]+$"));
    const QString trimmed = text.trimmed();
    if (!wholeNumber.match(trimmed).hasMatch())
        return false;
    bool ok = false;
    const qint64 value = trimmed.toLongLong(&ok);
    if (!ok)
        return false;
    m_settings.setAgeValue(value);
    return true;
}

void PanelModel::setAgeUnit(AgeUnit unit)
{
    m_settings.setAgeUnit(unit);
}

void PanelModel::chooseSourceFolder()
{
    const std::optional<QString> chosen = m_folderChooser(m_settings.sourceFolder());
    if (!chosen || !QDir::isAbsolutePath(*chosen))
        return;
    m_settings.setSourceFolder(QDir::cleanPath(*chosen));
}

void PanelModel::setLaunchAtLogin(bool on)
{
    m_settings.setLaunchAtLogin(on);
    if (on)
        registerLoginItem();
    else
        unregisterLoginItem();
}

void PanelModel::runNow()
{
    const qint64 trashed = runCleanup(m_settings, m_clock);
    if (m_previewCount) {
        m_previewCount.reset();
        emit previewCountChanged();
    }
    logLine(QStringLiteral("Run Now trashed ") + QString::number(trashed));
}

void PanelModel::showPreview()
{
    m_previewCount = countCandidates(m_settings, m_clock);
    emit previewCountChanged();
}

void PanelModel::openSourceFolderInFileManager()
{
    const QString folder = FileSystem::nearestExistingFolder(m_settings.sourceFolder());
    if (folder.isEmpty())
        return;
    m_urlOpener(QUrl::fromLocalFile(folder));
}

void PanelModel::openWebsite()
{
    m_urlOpener(websiteUrl());
}

void PanelModel::quit()
{
    m_quitHandler();
}

void PanelModel::setPermissionDenied(bool denied)
{
    if (m_permissionDenied == denied)
        return;
    m_permissionDenied = denied;
    emit permissionDeniedChanged();
}

void PanelModel::applyScheduleNow()
{
    applySchedule(m_settings, m_agentContext ? *m_agentContext : AgentContext::standard());
}
