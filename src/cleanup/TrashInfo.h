#pragma once

#include <QByteArray>

#include <optional>

/**
 * Pure text functions behind the freedesktop.org Trash: the .trashinfo document and the names
 * entries get inside a trash. They touch no file and read nothing but their arguments (and the
 * local time zone for deletionDateText).
 */
namespace TrashInfo {

/**
 * @p path with every byte percent-encoded ("%XX", upper-case hex) except the unreserved
 * characters A-Z a-z 0-9 - . _ ~ and "/". Works on raw bytes: names need not be valid UTF-8.
 */
QByteArray percentEncodePath(const QByteArray &path);

/** percentEncodePath of @p path, appended to @p out (whose capacity a caller can reuse). */
void appendPercentEncoded(QByteArray &out, QByteArrayView path);

/**
 * The inverse of percentEncodePath (any "%XX" escape, hex in either case, is decoded; other
 * bytes are kept). Empty optional when a "%" is not followed by two hex digits.
 */
std::optional<QByteArray> percentDecodePath(const QByteArray &encoded);

/** @p seconds since 1970-01-01 UTC as local time "YYYY-MM-DDThh:mm:ss". */
QByteArray deletionDateText(double seconds);

/**
 * The .trashinfo document for the entry whose original location is @p path (raw bytes, absolute,
 * or relative to the top folder of the mount for a trash there), deleted at @p deletionDate.
 */
QByteArray trashInfoText(const QByteArray &path, const QByteArray &deletionDate);

/** The same document into @p out, from the path already percent-encoded. */
void writeTrashInfo(QByteArray &out, QByteArrayView encodedPath, QByteArrayView deletionDate);

/**
 * The decoded Path of a .trashinfo document; empty optional when the document has no
 * "[Trash Info]" group with a well-formed Path key.
 */
std::optional<QByteArray> trashInfoPath(const QByteArray &text);

/**
 * Where things lie in the trash folder @p trash: filesPath gives its files/ folder, or the entry
 * @p name in it; infoPath its info/ folder, or the info file of the entry @p name.
 */
QByteArray filesPath(const QByteArray &trash, const QByteArray &name = {});
QByteArray infoPath(const QByteArray &trash, const QByteArray &name = {});

/** The name of the info file, inside info/, of the entry called @p name in files/. */
QByteArray infoFileName(const QByteArray &name);

/** Longest name that a file system with 255-byte names accepts for an entry in files/. */
inline constexpr qsizetype MaxEntryNameLength = 255 - qsizetype(sizeof(".trashinfo") - 1);

/**
 * The name an entry called @p name gets in the trash for the clash counter @p suffix: 1 or less
 * gives @p name itself, n gives "<stem>.n.<ext>" (or "<name>.n" without an extension). When the
 * result would exceed @p maxLength bytes the stem is shortened (never inside a UTF-8 sequence),
 * keeping the counter and the extension, so different counters still give different names.
 */
QByteArray trashEntryName(const QByteArray &name, qint64 suffix,
                          qsizetype maxLength = MaxEntryNameLength);

} // namespace TrashInfo
