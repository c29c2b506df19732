#pragma once

#include "EnumText.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>
#include <utility>

/** How often the scheduled cleanup runs. Stored and shown by its raw text. */
enum class Frequency
{
    Hourly,
    Daily,
    Weekly
};

template <> struct EnumTexts<Frequency>
{
    static constexpr std::array rows = {std::pair{Frequency::Hourly, "Hourly"},
                                        std::pair{Frequency::Daily, "Daily"},
                                        std::pair{Frequency::Weekly, "Weekly"}};
};

/** "Hourly", "Daily" or "Weekly". */
QString rawValue(Frequency frequency);

/** Exact, case-sensitive match against the raw texts; anything else is no case. */
std::optional<Frequency> frequencyFromRaw(const QString &text);

/** The three cases in declaration order. */
QList<Frequency> allFrequencies();
