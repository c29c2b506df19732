#include "Frequency.h"

QString rawValue(Frequency frequency)
{
    switch (frequency) {
    case Frequency::Hourly:
        return QStringLiteral("Hourly");
    case Frequency::Daily:
        return QStringLiteral("Daily");
    case Frequency::Weekly:
        return QStringLiteral("Weekly");
    }
    return QString();
}

std::optional<Frequency> frequencyFromRaw(const QString &text)
{
    for (Frequency frequency : allFrequencies()) {
        if (rawValue(frequency) == text)
            return frequency;
    }
    return std::nullopt;
}

QList<Frequency> allFrequencies()
{
    return {Frequency::Hourly, Frequency::Daily, Frequency::Weekly};
}
