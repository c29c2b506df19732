#pragma once

#include <QByteArray>
#include <QString>

/** What makePrivateFolder does to the requested folder when it exists already. */
enum class ExistingFolder
{
    Keep,    ///< a folder other programs share (the Trash, autostart): left as it is
    Tighten, ///< a folder of ours alone: group and others lose any access to it
};

/**
 * Makes the folder @p path (absolute) and each missing parent with mode 0700, as the base
 * directory rules ask for folders made on the user's behalf. Every part that exists must be a
 * folder (a link to one counts). With ExistingFolder::Tighten the folder itself, when it belongs
 * to this user and is not a link, is brought down to 0700. On failure returns false and sets
 * @p error (if given) to "Cannot create the folder <path>: <reason>", always naming @p path.
 */
bool makePrivateFolder(const QByteArray &path, QString *error,
                       ExistingFolder existing = ExistingFolder::Keep);
