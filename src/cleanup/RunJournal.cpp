#include "RunJournal.h"

#include "TrashInfo.h"

#include "platform/ErrorText.h"
#include "platform/HostPaths.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <sys/stat.h>

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

bool writeState(const char *name, const QByteArray &content, QString *error)
{
    const QByteArray folder = RunJournalStore::stateFolder();
    for (qsizetype end = folder.indexOf('/', 1);; end = folder.indexOf('/', end + 1)) {
        const QByteArray prefix = end < 0 ? folder : folder.left(end);
        if (mkdir(prefix.constData(), 0700) != 0 && errno != EEXIST) {
            *error = errorText(QStringLiteral("Cannot create the folder"),
                               QFile::decodeName(prefix), errno);
            return false;
        }
        if (end < 0)
            break;
    }
    QSaveFile file(QFile::decodeName(folder + '/' + name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() ||
        !file.commit()) {
        *error = QStringLiteral("Cannot write ") + file.fileName() + QStringLiteral(": ") +
                 file.errorString();
        return false;
    }
    return true;
}

QList<QList<QByteArray>> readState(const char *name)
{
    QFile file(QFile::decodeName(RunJournalStore::stateFolder() + '/' + name));
    QList<QList<QByteArray>> lines;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n'))
            if (!line.isEmpty())
                lines.append(line.split(' '));
    }
    return lines;
}

bool sameDate(const std::optional<double> &a, const std::optional<double> &b)
{
    return a.has_value() == b.has_value() && (!a || *a == *b);
}

} // namespace

namespace RunJournalStore {

QByteArray stateFolder()
{
    return QFile::encodeName(HostPaths::stateHome() + QStringLiteral("/quillbrook"));
}

bool writeJournal(const RunJournal &journal, QString *error)
{
    QByteArray text = "failed " + QByteArray::number(journal.failedCount) + ' ' +
                      field(journal.firstFailure.toUtf8()) + '\n';
    for (const JournalEntry &entry : journal.entries)
        text += "moved " + field(entry.originalPath) + ' ' + field(entry.trashFolder) + ' ' +
                field(entry.name) + '\n';
    return writeState("last-run", text, error);
}

RunJournal readJournal()
{
    RunJournal journal;
    for (const QList<QByteArray> &fields : readState("last-run")) {
        if (fields.size() == 3 && fields[0] == "failed") {
            journal.failedCount = fields[1].toLongLong();
            journal.firstFailure = QString::fromUtf8(unfield(fields[2]));
        } else if (fields.size() == 4 && fields[0] == "moved") {
            journal.entries.append({unfield(fields[1]), unfield(fields[2]), unfield(fields[3])});
        }
    }
    return journal;
}

bool writeKept(const QList<KeptEntry> &kept, QString *error)
{
    QByteArray text;
    for (const KeptEntry &entry : kept)
        text += field(entry.path) + ' ' + dateField(entry.dates.creation) + ' ' +
                dateField(entry.dates.modification) + '\n';
    return writeState("kept", text, error);
}

QList<KeptEntry> readKept()
{
    const QList<QList<QByteArray>> lines = readState("kept");
    QList<KeptEntry> kept;
    for (const QList<QByteArray> &fields : lines) {
        if (fields.size() != 3)
            continue;
        const KeptEntry entry{unfield(fields[0]), {unDate(fields[1]), unDate(fields[2])}};
        const EntryDates now = FileSystem::entryDates(entry.path);
        if (now.modification && sameDate(now.creation, entry.dates.creation) &&
            sameDate(now.modification, entry.dates.modification))
            kept.append(entry);
    }
    QString ignored; // a stale line only costs a look next time
    if (kept.size() != lines.size())
        writeKept(kept, &ignored);
    return kept;
}

} // namespace RunJournalStore

RunJournal lastRunJournal()
{
    return RunJournalStore::readJournal();
}

qint64 entriesStillInTrash(const RunJournal &journal)
{
    qint64 count = 0;
    for (const JournalEntry &entry : journal.entries) {
        struct stat st = {};
        count += lstat((entry.trashFolder + "/files/" + entry.name).constData(), &st) == 0 ? 1 : 0;
    }
    return count;
}
