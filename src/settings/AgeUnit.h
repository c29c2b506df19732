#pragma once

#include <QList>
#include <QString>

#include <optional>

/** The unit of the age limit. Stored and shown by its raw text. */
enum class AgeUnit { Hours, Days, Weeks };

/** "Hours", "Days" or "Weeks". */
QString rawValue(AgeUnit unit);

/** Exact, case-sensitive match against the raw texts; anything else is no case. */
std::optional<AgeUnit> ageUnitFromRaw(const QString &text);

/** The three cases in declaration order. */
QList<AgeUnit> allAgeUnits();

/** 3600, 86400 or 604800: a week is seven days of 86400 seconds, no calendar involved. */
double secondsPerUnit(AgeUnit unit);
