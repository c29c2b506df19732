#include "CleanupCommands.h"

#include "FileSystem.h"
#include "PutBack.h"
#include "ScreenshotCleanup.h"

#include "settings/AppSettings.h"

#include <QDateTime>

namespace {

// Local time with its offset, e.g. "2024-05-01T10:15:00+02:00".
QString isoDate(double seconds)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(qint64(seconds * 1000.0));
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

// The length of the well-formed UTF-8 sequence at @p at, its code point in @p code; 0 when the
// byte there starts none (a stray byte, an overlong form, a surrogate, beyond U+10FFFF).
qsizetype sequenceAt(const QByteArray &bytes, qsizetype at, char32_t *code)
{
    static constexpr char32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
    const auto byte = [&bytes](qsizetype i) { return static_cast<unsigned char>(bytes.at(i)); };
    const unsigned char lead = byte(at);
    const int length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (length == 0 || lead > 0xF4 || at + length > bytes.size())
        return 0;
    char32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    if (value < Least[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *code = value;
    return length;
}

// @p bytes as one field of one line that cannot drive a terminal: a backslash, tab and newline
// become "\\", "\t" and "\n"; other control characters (C0, DEL, C1) and bytes that are not
// UTF-8 become "\xHH" per byte. Everything else is kept as it is.
QString escapedField(const QByteArray &bytes)
{
    QByteArray out;
    for (qsizetype at = 0; at < bytes.size();) {
        char32_t code = 0;
        const qsizetype length = sequenceAt(bytes, at, &code);
        if (length > 0 && code == '\\')
            out += "\\\\";
        else if (length > 0 && (code == '\t' || code == '\n'))
            out += code == '\t' ? "\\t" : "\\n";
        else if (length > 0 && code >= 0x20 && (code < 0x7F || code > 0x9F))
            out += bytes.mid(at, length);
        else
            for (qsizetype i = at; i < at + qMax<qsizetype>(length, 1); ++i)
                out += "\\x" + QByteArray::number(static_cast<unsigned char>(bytes.at(i)), 16)
                                   .rightJustified(2, '0')
                                   .toUpper();
        at += qMax<qsizetype>(length, 1);
    }
    return QString::fromUtf8(out);
}

} // namespace

int previewCommand(AppSettings &settings, QTextStream &out, QTextStream &err, const Clock &clock)
{
    QString error;
    const QList<PreviewEntry> entries = previewEntries(settings, clock, &error);
    // An empty list must mean "nothing to move", not "could not look".
    if (!error.isEmpty()) {
        err << "quillbrook: " << escapedField(error.toUtf8()) << '\n';
        return 1;
    }
    for (const PreviewEntry &entry : entries)
        out << escapedField(entry.path) << '\t' << isoDate(entry.date) << '\t'
            << dateSourceText(entry.source) << '\n';
    out.flush();
    return 0;
}

int putBackCommand(AppSettings &, QTextStream &out, QTextStream &err, const Clock &)
{
    const PutBackResult result = putBackLastRun();
    // Each path is escaped like --preview's: a name must not drive the terminal.
    for (qsizetype i = 0; i < result.lines.size(); ++i)
        (result.movedBack.value(i) ? out : err) << escapedField(result.lines[i].toUtf8()) << '\n';
    (result.busy || !result.error.isEmpty() ? err : out)
        << escapedField(result.summary.toUtf8()) << '\n';
    out.flush();
    err.flush();
    return result.allBack() ? 0 : 1;
}
