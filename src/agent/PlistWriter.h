#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

/**
 * @p root as an XML property list 1.0 (XML declaration, the plist DOCTYPE, UTF-8). QVariantMap
 * becomes dict, QVariantList array, QString string, bool true/false, any integer type integer.
 * Fails (empty optional, reason in @p error) for any other value type and for text that XML 1.0
 * cannot carry, such as control characters: a document no reader could parse is never produced.
 */
std::optional<QByteArray> writeXmlPlist(const QVariant &root, QString *error = nullptr);
