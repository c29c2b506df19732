#include "ErrorText.h"

#include <cstring>

QString errorReason(int errorNumber)
{
    // strerror_r's GNU form may return a static text instead of filling the buffer.
    char buffer[256] = {};
    return QString::fromLocal8Bit(strerror_r(errorNumber, buffer, sizeof buffer));
}

QString errorText(const QString &action, const QString &path, int errorNumber)
{
    return action + QLatin1Char(' ') + path + QStringLiteral(": ") + errorReason(errorNumber);
}
