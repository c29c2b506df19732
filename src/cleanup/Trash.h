#pragma once

#include "Clock.h"
#include "TrashFolders.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <map>
#include <memory>
#include <optional>

/** Where trashEntry put an entry. */
struct TrashedEntry
{
    QByteArray originalPath; ///< absolute path the entry had
    QByteArray trashFolder;  ///< the trash folder holding files/ and info/
    QByteArray name;         ///< the entry's name in files/ (its info file adds ".trashinfo")
    quint64 device = 0;      ///< the entry's device and inode, which the move keeps: the entry
    quint64 inode = 0;       ///< in files/ is this one only while they match
    /** originalPath percent-encoded, as the info file records it (made once for both). */
    QByteArray encodedPath;
};

/** Told of each move before it happens, so that a record of it survives any interruption. */
class TrashJournal
{
public:
    virtual ~TrashJournal() = default;

    /**
     * The entry is about to be moved to @p entry's place, and its info file made. Returning
     * false (with @p error set) keeps it where it is.
     */
    virtual bool aboutToMove(const TrashedEntry &entry, QString *error) = 0;

    /** The move announced last did not happen (its name was taken, or it failed). */
    virtual void didNotMove() = 0;
};

/**
 * The user's freedesktop.org Trash (Trash specification 1.0). An entry on the home file system
 * goes to the home trash; an entry on another mount goes to $topdir/.Trash/$uid or
 * $topdir/.Trash-$uid. Never a copy, never a delete: when no trash on the entry's own file
 * system can take it, the move fails and the entry stays where it was.
 *
 * One object serves one run: the folders it has opened (the entries' folders and the trashes)
 * stay open until it is dropped, so a run of many entries opens each of them once.
 */
class Trash
{
public:
    /**
     * @p homeTrash is the home trash folder (normally $XDG_DATA_HOME/Trash; made 0700 with its
     * parents when first needed). @p clock gives the DeletionDate.
     */
    explicit Trash(QByteArray homeTrash = defaultHomeTrash(), const Clock &clock = Clock::system());
    ~Trash();

    Trash(const Trash &) = delete;
    Trash &operator=(const Trash &) = delete;

    /**
     * Moves the entry at the absolute path @p path (a file, a folder or a symbolic link itself)
     * into the trash, with its .trashinfo, and tells where in @p placed. Returns false and sets
     * @p error to a "Cannot …" text when the entry stays where it was.
     */
    bool trashEntry(const QByteArray &path, QString *error, TrashedEntry *placed = nullptr);

    /** From now on tells @p journal (which must outlive this object) of each move first. */
    void setJournal(TrashJournal *journal) { m_journal = journal; }

    /** Flushes what was written to the trashes used so far to disk, once each. Also done on
     * destruction. */
    void syncUsed();

    /** $XDG_DATA_HOME/Trash, read from the environment now. */
    static QByteArray defaultHomeTrash();

    // A folder entries are taken from, open for the whole run (defined where it is used).
    struct SourceFolder;

private:
    struct Entry;
    enum class Placed
    {
        Moved,
        NameTaken,
        Failed,
        TrashGone,
    };

    std::optional<Entry> checkEntry(const QByteArray &path, QString *error);
    TrashFolders *trashFor(SourceFolder &source, QString *error);
    Placed placeEntry(const Entry &entry, TrashFolders &trash, QString *error,
                      TrashedEntry *placed);
    Placed tryName(const Entry &entry, TrashFolders &trash, const QByteArray &name,
                   const QByteArray &info, QString *error);

    SourceFolder *sourceFolder(QByteArrayView parent, QString *error);
    const QByteArray &deletionDate();
    qint64 lastSuffix(const QByteArray &trash, const QByteArray &name) const;

    QByteArray m_homeTrash;
    const Clock &m_clock;
    TrashJournal *m_journal = nullptr;
    std::optional<quint64> m_homeDevice;
    std::map<QByteArray, std::unique_ptr<SourceFolder>> m_sources;
    SourceFolder *m_lastSource = nullptr; // a run takes its entries from one folder
    // Keyed by the mount point of the trash's file system; the home trash by an empty key.
    std::map<QByteArray, std::unique_ptr<TrashFolders>> m_trashes;
    QSet<QByteArray> m_usedTrashes;
    QByteArray m_lastUsedTrash;
    // Last clash counter above 1 that worked, per trash and name, so that a run trashing many
    // entries of the same name does not probe the taken names again each time.
    QHash<QByteArray, QHash<QByteArray, qint64>> m_lastSuffix;
    // Reused for every entry: a run of many entries makes each of these once.
    std::optional<double> m_dateSecond;
    QByteArray m_dateText;
    QByteArray m_encodedPath;
    QByteArray m_infoText;
    QByteArray m_infoName;
};
