#pragma once

#include <QList>
#include <QString>

#include <optional>

/** How often the scheduled cleanup runs. Stored and shown by its raw text. */
enum class Frequency { Hourly, Daily, Weekly };

/** "Hourly", "Daily" or "Weekly". */
QString rawValue(Frequency frequency);

/** Exact, case-sensitive match against the raw texts; anything else is no case. */
std::optional<Frequency> frequencyFromRaw(const QString &text);

/** The three cases in declaration order. */
QList<Frequency> allFrequencies();
