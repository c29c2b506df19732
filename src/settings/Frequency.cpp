#include "Frequency.h"

QString rawValue(Frequency frequency)
{
    return enumText(frequency);
}

std::optional<Frequency> frequencyFromRaw(const QString &text)
{
    return enumFromText<Frequency>(text);
}

QList<Frequency> allFrequencies()
{
    return enumCases<Frequency>();
}
