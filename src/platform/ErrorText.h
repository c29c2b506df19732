#pragma once

#include <QString>

/**
 * The one way a failed system call becomes a message: "<action> <path>: <reason>", for example
 * "Cannot create the folder /home/a/.local/share/Trash: Permission denied". @p action starts
 * with a capital letter ("Cannot …"); @p errorNumber is the errno the call left.
 */
QString errorText(const QString &action, const QString &path, int errorNumber);

/** The system's description of @p errorNumber ("No space left on device"). */
QString errorReason(int errorNumber);
