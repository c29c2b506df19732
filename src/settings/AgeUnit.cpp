#include "AgeUnit.h"

QString rawValue(AgeUnit unit)
{
    switch (unit) {
    case AgeUnit::Hours:
        return QStringLiteral("Hours");
    case AgeUnit::Days:
        return QStringLiteral("Days");
    case AgeUnit::Weeks:
        return QStringLiteral("Weeks");
    }
    return QString();
}

std::optional<AgeUnit> ageUnitFromRaw(const QString &text)
{
    for (AgeUnit unit : allAgeUnits()) {
        if (rawValue(unit) == text)
            return unit;
    }
    return std::nullopt;
}

QList<AgeUnit> allAgeUnits()
{
    return {AgeUnit::Hours, AgeUnit::Days, AgeUnit::Weeks};
}

double secondsPerUnit(AgeUnit unit)
{
    switch (unit) {
    case AgeUnit::Hours:
        return 3600.0;
    case AgeUnit::Days:
        return 86400.0;
    case AgeUnit::Weeks:
        return 604800.0;
    }
    return 0.0;
}
