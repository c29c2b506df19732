#pragma once

#include "EnumText.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>
#include <utility>

/** The unit of the age limit. Stored and shown by its raw text. */
enum class AgeUnit
{
    Hours,
    Days,
    Weeks
};

template <> struct EnumTexts<AgeUnit>
{
    static constexpr std::array rows = {std::pair{AgeUnit::Hours, "Hours"},
                                        std::pair{AgeUnit::Days, "Days"},
                                        std::pair{AgeUnit::Weeks, "Weeks"}};
};

/** "Hours", "Days" or "Weeks". */
QString rawValue(AgeUnit unit);

/** Exact, case-sensitive match against the raw texts; anything else is no case. */
std::optional<AgeUnit> ageUnitFromRaw(const QString &text);

/** The three cases in declaration order. */
QList<AgeUnit> allAgeUnits();

/** 3600, 86400 or 604800: a week is seven days of 86400 seconds, no calendar involved. */
double secondsPerUnit(AgeUnit unit);
