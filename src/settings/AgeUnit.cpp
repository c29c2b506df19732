#include "AgeUnit.h"

QString rawValue(AgeUnit unit)
{
    return enumText(unit);
}

std::optional<AgeUnit> ageUnitFromRaw(const QString &text)
{
    return enumFromText<AgeUnit>(text);
}

QList<AgeUnit> allAgeUnits()
{
    return enumCases<AgeUnit>();
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
