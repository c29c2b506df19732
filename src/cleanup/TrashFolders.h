#pragma once

#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QString>

#include <optional>

/** The files/ and info/ folders of one trash, open for as long as this lives. */
struct TrashFolders
{
    QByteArray path;   ///< the trash folder holding files/ and info/
    QByteArray topdir; ///< the volume's top folder; empty for the home trash (absolute Path keys)
    UniqueFd files;
    UniqueFd info;
};

/** Whether opening a trash makes the folders it lacks (to trash) or not (to put back). */
enum class MissingFolders
{
    Make,
    Fail,
};

/**
 * Opens the home trash @p homeTrash (made 0700 with its parents when missing and @p missing is
 * Make). The folder itself may be a link the user set up; files/ and info/ never are. On failure
 * returns false with @p error set to a "Cannot …" text.
 */
bool openHomeTrash(const QByteArray &homeTrash, MissingFolders missing, TrashFolders *trash,
                   QString *error);

/**
 * Opens the trash of the volume whose top folder is @p topdir: $topdir/.Trash/$uid where it may
 * be used (a real, sticky .Trash; a $uid folder of this user's), else $topdir/.Trash-$uid (this
 * user's). No part is ever followed through a link. With @p wanted, only that one of the two is
 * tried. On failure returns false with @p error set to a "Cannot …" text.
 */
bool openVolumeTrash(const QByteArray &topdir, MissingFolders missing, TrashFolders *trash,
                     QString *error, const QByteArray &wanted = {});

/** The device the home trash lives on, or will live on once it has been made. */
std::optional<quint64> homeTrashDevice(const QByteArray &homeTrash);

/**
 * Whether the folder @p canonicalFolder (no links left in it) lies at or below the files/ or
 * info/ folder of a trash: the home trash @p canonicalHomeTrash, or any volume's .Trash/$uid or
 * .Trash-$uid.
 */
bool isInsideATrash(const QByteArray &canonicalFolder, const QByteArray &canonicalHomeTrash);
