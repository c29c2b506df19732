#pragma once

#include "settings/Frequency.h"

#include <QDateTime>

/**
 * When the installed timer starts its next run after @p now, by the same rule as its calendar:
 * hourly at :00, daily at @p hourOfDay:00, weekly on Sunday at @p hourOfDay:00, in local time,
 * strictly after @p now. Invalid for an hour outside 0-23 (no timer is written for it).
 */
QDateTime nextRunTime(Frequency frequency, qint64 hourOfDay, const QDateTime &now);
