#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

/** Limits that keep hostile input from costing more than a small document would. */
inline constexpr qsizetype PlistMaxBytes = 1024 * 1024;
inline constexpr int PlistMaxDepth = 32;

/**
 * Reads an XML property list 1.0 strictly: dict (QVariantMap), array (QVariantList), string
 * (QString), integer (qint64), true and false (bool). Anything else (other elements, binary
 * property lists, attributes on values, text between elements, duplicate keys, entity
 * declarations, integers outside 64 bits, more than PlistMaxBytes or PlistMaxDepth levels)
 * fails with a one-line reason in @p error.
 */
std::optional<QVariant> readXmlPlist(const QByteArray &bytes, QString *error = nullptr);
