#include "RunJournal.h"

#include "TrashInfo.h"

#include "platform/AtomicFile.h"
#include "platform/HostPaths.h"
#include "platform/Paths.h"
#include "platform/PrivateFolder.h"
#include "platform/StateFile.h"

#include <QFile>

#include <charconv>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every field is percent-encoded, so a name holding blanks, newlines or bytes that are not
// UTF-8 stays one field on one line.
QByteArray field(const QByteArray &raw)
{
    return raw.isEmpty() ? QByteArrayLiteral("-") : TrashInfo::percentEncodePath(raw);
}

QByteArray unfield(const QByteArray &encoded)
{
    return encoded == "-" ? QByteArray() : TrashInfo::percentDecodePath(encoded).value_or("");
}

QByteArray dateField(const std::optional<double> &date)
{
    return date ? QByteArray::number(*date, 'g', 17) : QByteArrayLiteral("-");
}

std::optional<double> unDate(const QByteArray &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

QByteArray statePath(const char *name)
{
    return Paths::joined(RunJournalStore::stateFolder(), name);
}

bool writeState(const char *name, const QByteArray &content, QString *error)
{
    return RunJournalStore::makeStateFolder(error) &&
           writeFileAtomically(statePath(name), content, error);
}

QList<QList<QByteArray>> readState(const char *name)
{
    QList<QList<QByteArray>> lines;
    const std::optional<QByteArray> text =
        readStateFile(statePath(name), RunJournalStore::MaxStateFileBytes);
    for (const QByteArray &line : text.value_or(QByteArray()).split('\n'))
        if (!line.isEmpty())
            lines.append(line.split(' '));
    return lines;
}

} // namespace

namespace RunJournalStore {

QByteArray stateFolder()
{
    return QFile::encodeName(HostPaths::stateHome() + QStringLiteral("/quillbrook"));
}

bool makeStateFolder(QString *error)
{
    return makePrivateFolder(stateFolder(), error, ExistingFolder::Tighten);
}

void removeLeftovers()
{
    const std::optional<QList<QByteArray>> entries = FileSystem::listVisibleEntries(stateFolder());
    for (const QByteArray &path : entries.value_or(QList<QByteArray>())) {
        const QByteArray name = FileSystem::lastComponent(path);
        for (const QByteArray written : {"kept.", "last-run."})
            if (name.size() == written.size() + 6 && name.startsWith(written))
                unlink(path.constData());
    }
}

QByteArray entryLine(const JournalEntry &entry)
{
    QByteArray line;
    writeEntryLine(line, field(entry.originalPath), field(entry.trashFolder), field(entry.name),
                   entry.device, entry.inode);
    return line;
}

void writeEntryLine(QByteArray &line, QByteArrayView encodedPath, QByteArrayView encodedTrashFolder,
                    QByteArrayView encodedName, quint64 device, quint64 inode)
{
    const auto appendField = [&line](QByteArrayView encoded) {
        line.append(' ').append(encoded.isEmpty() ? QByteArrayView("-") : encoded);
    };
    const auto appendNumber = [&line](quint64 number) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
        line.append(' ').append(digits, end - digits);
    };
    line.truncate(0);
    line.append("moved");
    appendField(encodedPath);
    appendField(encodedTrashFolder);
    appendField(encodedName);
    appendNumber(device);
    appendNumber(inode);
    line.append('\n');
}

QByteArray failureLine(qint64 failedCount, const QString &firstFailure)
{
    return "failed " + QByteArray::number(failedCount) + ' ' + field(firstFailure.toUtf8()) + '\n';
}

QByteArray withdrawnLine()
{
    return QByteArrayLiteral("withdrawn\n");
}

bool writeJournal(const RunJournal &journal, QString *error)
{
    QByteArray text = failureLine(journal.failedCount, journal.firstFailure);
    for (const JournalEntry &entry : journal.entries)
        text += entryLine(entry);
    return writeState("last-run", text, error);
}

RunJournal readJournal()
{
    RunJournal journal;
    for (const QList<QByteArray> &fields : readState("last-run")) {
        if (fields.size() == 3 && fields[0] == "failed") {
            journal.failedCount = fields[1].toLongLong();
            journal.firstFailure = QString::fromUtf8(unfield(fields[2]));
        } else if (fields.size() == 6 && fields[0] == "moved") {
            journal.entries.append({unfield(fields[1]), unfield(fields[2]), unfield(fields[3]),
                                    fields[4].toULongLong(), fields[5].toULongLong()});
        } else if (fields == QList<QByteArray>{"withdrawn"} && !journal.entries.isEmpty()) {
            journal.entries.removeLast();
        }
    }
    return journal;
}

bool writeKept(const KeptEntries &kept, QString *error)
{
    QByteArray text;
    for (auto entry = kept.cbegin(); entry != kept.cend(); ++entry)
        text += field(entry.key()) + ' ' + dateField(entry->creation) + ' ' +
                dateField(entry->modification) + '\n';
    return writeState("kept", text, error);
}

KeptEntries readKept()
{
    KeptEntries kept;
    for (const QList<QByteArray> &fields : readState("kept"))
        if (fields.size() == 3)
            kept.insert(unfield(fields[0]), {unDate(fields[1]), unDate(fields[2])});
    return kept;
}

KeptEntries stillKept(KeptEntries kept)
{
    kept.removeIf([](const KeptEntries::iterator &entry) {
        const EntryDates now = FileSystem::entryDates(entry.key());
        return !now.modification || now.creation != entry->creation ||
               now.modification != entry->modification;
    });
    return kept;
}

} // namespace RunJournalStore

bool isKept(const KeptEntries &kept, const QByteArray &path, const EntryDates &dates)
{
    const auto entry = kept.constFind(path);
    return entry != kept.cend() && entry->creation == dates.creation &&
           entry->modification == dates.modification;
}

RunJournal lastRunJournal()
{
    return RunJournalStore::readJournal();
}

qint64 entriesStillInTrash(const RunJournal &journal, qint64 enough)
{
    qint64 count = 0;
    for (const JournalEntry &entry : journal.entries) {
        if (count >= enough)
            break;
        struct stat st = {};
        const QByteArray path = TrashInfo::filesPath(entry.trashFolder, entry.name);
        count += lstat(path.constData(), &st) == 0 && quint64(st.st_dev) == entry.device &&
                 quint64(st.st_ino) == entry.inode;
    }
    return count;
}
