#include "TrashInfo.h"

#include <QList>

#include <cmath>
#include <ctime>

namespace TrashInfo {

namespace {

bool isKeptAsIs(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// At most @p length bytes of @p text, cut before a UTF-8 sequence rather than through it. Invalid
// input has no sequences to respect: never back up more than a sequence's length.
QByteArray cutAtCharacter(const QByteArray &text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    qsizetype cut = length;
    for (int step = 0; step < 3 && cut > 0 && isContinuationByte(text.at(cut)); ++step)
        --cut;
    if (cut > 0 && isContinuationByte(text.at(cut)))
        cut = length;
    return text.left(cut);
}

} // namespace

QByteArray percentEncodePath(const QByteArray &path)
{
    QByteArray out;
    appendPercentEncoded(out, path);
    return out;
}

void appendPercentEncoded(QByteArray &out, QByteArrayView path)
{
    // Sized for the worst case and written through a pointer: this runs for every entry a run
    // moves, and growing the array byte by byte cost more than the rest of the entry's work.
    static const char hex[] = "0123456789ABCDEF";
    const qsizetype start = out.size();
    out.resize(start + 3 * path.size());
    char *to = out.data() + start;
    for (const char c : path) {
        if (isKeptAsIs(c)) {
            *to++ = c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            *to++ = '%';
            *to++ = hex[byte >> 4];
            *to++ = hex[byte & 0x0F];
        }
    }
    out.truncate(to - out.constData());
}

std::optional<QByteArray> percentDecodePath(const QByteArray &encoded)
{
    QByteArray out;
    out.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded.at(i) != '%') {
            out.append(encoded.at(i));
            continue;
        }
        if (i + 2 >= encoded.size())
            return std::nullopt;
        const int high = hexValue(encoded.at(i + 1));
        const int low = hexValue(encoded.at(i + 2));
        if (high < 0 || low < 0)
            return std::nullopt;
        out.append(char(high * 16 + low));
        i += 2;
    }
    return out;
}

QByteArray deletionDateText(double seconds)
{
    // Seconds outside time_t's reach cannot be a real clock reading; clamp rather than overflow.
    const double whole = std::floor(seconds);
    const time_t t = !(whole > -1e15) ? time_t(-1e15) : whole > 1e15 ? time_t(1e15) : time_t(whole);
    tm local{};
    char text[64] = {};
    if (!localtime_r(&t, &local) || strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) == 0)
        return QByteArrayLiteral("1970-01-01T00:00:00");
    return QByteArray(text);
}

QByteArray trashInfoText(const QByteArray &path, const QByteArray &deletionDate)
{
    QByteArray text;
    writeTrashInfo(text, percentEncodePath(path), deletionDate);
    return text;
}

void writeTrashInfo(QByteArray &out, QByteArrayView encodedPath, QByteArrayView deletionDate)
{
    out.truncate(0);
    out.append("[Trash Info]\nPath=").append(encodedPath);
    out.append("\nDeletionDate=").append(deletionDate).append('\n');
}

std::optional<QByteArray> trashInfoPath(const QByteArray &text)
{
    bool inGroup = false;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith('[')) {
            inGroup = line == "[Trash Info]";
            continue;
        }
        if (!inGroup)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.left(equals).trimmed() != "Path")
            continue;
        return percentDecodePath(line.mid(equals + 1).trimmed());
    }
    return std::nullopt;
}

QByteArray filesPath(const QByteArray &trash, const QByteArray &name)
{
    return name.isEmpty() ? trash + "/files" : trash + "/files/" + name;
}

QByteArray infoPath(const QByteArray &trash, const QByteArray &name)
{
    return name.isEmpty() ? trash + "/info" : trash + "/info/" + infoFileName(name);
}

QByteArray infoFileName(const QByteArray &name)
{
    return name + ".trashinfo";
}

QByteArray trashEntryName(const QByteArray &name, qint64 suffix, qsizetype maxLength)
{
    if (suffix <= 1 && name.size() <= maxLength)
        return name; // what the general case gives too, without taking the name apart
    // "a.tar.gz" becomes "a.tar.2.gz": the extension stays last so the file still opens with the
    // right program from the trash. A leading dot is not an extension separator.
    const qsizetype dot = name.lastIndexOf('.');
    const bool hasExtension = dot > 0 && dot < name.size() - 1;
    QByteArray stem = hasExtension ? name.left(dot) : name;
    const QByteArray counter = suffix > 1 ? '.' + QByteArray::number(suffix) : QByteArray();
    QByteArray tail = hasExtension ? counter + name.mid(dot) : counter;
    if (stem.size() + tail.size() <= maxLength)
        return stem + tail;
    // Too long for the file system once ".trashinfo" is added: shorten the stem. An extension so
    // long that little stem would be left is treated as part of the stem.
    if (tail.size() > maxLength / 2) {
        stem = name;
        tail = counter;
    }
    return cutAtCharacter(stem, qMax<qsizetype>(1, maxLength - tail.size())) + tail;
}

} // namespace TrashInfo
