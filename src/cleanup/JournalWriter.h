#pragma once

#include "Trash.h"

#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QString>

/**
 * The last run's journal as the run writes it: begun empty, each move appended before it
 * happens, so that a run ended at any point (killed, logged out, power cut after the final
 * flush) leaves a journal naming every entry it moved. Each line is handed to the system at
 * once; finish() flushes the whole to disk.
 */
class JournalWriter final : public TrashJournal
{
public:
    /**
     * Replaces the last run's journal with an empty one. False (with @p error set) when that
     * fails: the run must then move nothing, since put back could not find what it moved.
     */
    bool begin(QString *error);

    bool aboutToMove(const TrashedEntry &entry, QString *error) override;
    void didNotMove() override;

    /** Notes the run's failures and flushes the journal to disk. */
    void finish(qint64 failedCount, const QString &firstFailure);

private:
    bool append(const QByteArray &line, QString *error);

    QByteArray m_path;
    UniqueFd m_fd;
    // Reused for every entry; the trash folder is encoded once per trash, not per entry.
    QByteArray m_line;
    QByteArray m_trashFolder;
    QByteArray m_encodedTrashFolder;
    QByteArray m_encodedName;
};
