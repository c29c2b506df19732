#include "AgentJob.h"

#include "OnCalendar.h"

#include <QRegularExpression>
#include <QVariantList>
#include <QVariantMap>

#include <algorithm>

namespace {

bool hasControlCharacter(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

bool isString(const QVariant &value)
{
    return value.typeId() == QMetaType::QString;
}

// The output paths go unquoted after "append:": systemd strips trailing blanks, joins a line
// ending in "\" with the next, and ignores a path with ".." components.
std::optional<QString> outputPathProblem(const QString &path)
{
    if (!path.startsWith(QLatin1Char('/')))
        return QStringLiteral("is not an absolute path");
    if (hasControlCharacter(path))
        return QStringLiteral("contains control characters");
    if (path.back().isSpace() || path.back() == QLatin1Char('\\'))
        return QStringLiteral("ends in a blank or a backslash");
    if (path.split(QLatin1Char('/')).contains(QStringLiteral("..")))
        return QStringLiteral("has a \"..\" component");
    return std::nullopt;
}

std::optional<CalendarInterval> intervalFromDict(const QVariant &value, QString *error)
{
    if (value.typeId() != QMetaType::QVariantMap) {
        *error = QStringLiteral("StartCalendarInterval must be a dictionary or an array of them");
        return std::nullopt;
    }
    const QVariantMap dict = value.toMap();
    CalendarInterval interval;
    const QList<std::pair<QString, std::optional<qint64> CalendarInterval::*>> fields = {
        {QStringLiteral("Minute"), &CalendarInterval::minute},
        {QStringLiteral("Hour"), &CalendarInterval::hour},
        {QStringLiteral("Day"), &CalendarInterval::day},
        {QStringLiteral("Weekday"), &CalendarInterval::weekday},
        {QStringLiteral("Month"), &CalendarInterval::month}};
    for (auto it = dict.cbegin(); it != dict.cend(); ++it) {
        if (std::none_of(fields.cbegin(), fields.cend(),
                         [&](const auto &field) { return field.first == it.key(); })) {
            *error = QStringLiteral("StartCalendarInterval: unsupported key \"%1\"")
                         .arg(it.key().left(60));
            return std::nullopt;
        }
    }
    for (const auto &[name, member] : fields) {
        if (!dict.contains(name))
            continue;
        const QVariant field = dict.value(name);
        if (field.typeId() != QMetaType::LongLong) {
            *error = QStringLiteral("StartCalendarInterval: %1 must be an integer").arg(name);
            return std::nullopt;
        }
        interval.*member = field.toLongLong();
    }
    return interval;
}

std::optional<AgentJob> jobFromPlist(const QVariant &plist, QString *error)
{
    if (plist.typeId() != QMetaType::QVariantMap) {
        *error = QStringLiteral("the property list is not a dictionary");
        return std::nullopt;
    }
    const QVariantMap dict = plist.toMap();
    static const QStringList knownKeys = {QStringLiteral("Label"),
                                          QStringLiteral("ProgramArguments"),
                                          QStringLiteral("StartCalendarInterval"),
                                          QStringLiteral("RunAtLoad"),
                                          QStringLiteral("StandardOutPath"),
                                          QStringLiteral("StandardErrorPath")};
    for (auto it = dict.cbegin(); it != dict.cend(); ++it) {
        if (!knownKeys.contains(it.key())) {
            *error = QStringLiteral("unsupported key \"%1\"").arg(it.key().left(60));
            return std::nullopt;
        }
    }

    AgentJob job;
    const QVariant label = dict.value(QStringLiteral("Label"));
    if (!isString(label) || !isValidAgentLabel(label.toString())) {
        *error = QStringLiteral("Label must be a text of letters, digits, \".\", \"_\", \":\" and "
                                "\"-\", beginning with a letter or digit");
        return std::nullopt;
    }
    job.label = label.toString();

    const QVariant arguments = dict.value(QStringLiteral("ProgramArguments"));
    if (arguments.typeId() != QMetaType::QVariantList || arguments.toList().isEmpty()) {
        *error = QStringLiteral("ProgramArguments must be a non-empty array of strings");
        return std::nullopt;
    }
    for (const QVariant &argument : arguments.toList()) {
        if (!isString(argument) || hasControlCharacter(argument.toString())) {
            *error =
                QStringLiteral("ProgramArguments must hold strings without control characters");
            return std::nullopt;
        }
        job.programArguments.append(argument.toString());
    }
    if (!job.programArguments.first().startsWith(QLatin1Char('/'))) {
        *error = QStringLiteral("ProgramArguments must begin with an absolute program path");
        return std::nullopt;
    }

    const QVariant schedule = dict.value(QStringLiteral("StartCalendarInterval"));
    if (!schedule.isValid()) {
        *error = QStringLiteral("StartCalendarInterval is missing");
        return std::nullopt;
    }
    const QVariantList intervals =
        schedule.typeId() == QMetaType::QVariantList ? schedule.toList() : QVariantList{schedule};
    if (intervals.isEmpty()) {
        *error = QStringLiteral("StartCalendarInterval is an empty array");
        return std::nullopt;
    }
    for (const QVariant &entry : intervals) {
        const std::optional<CalendarInterval> interval = intervalFromDict(entry, error);
        if (!interval)
            return std::nullopt;
        const std::optional<QString> calendar = onCalendarExpression(*interval, error);
        if (!calendar)
            return std::nullopt;
        job.calendars.append(*calendar);
    }

    const QVariant runAtLoad = dict.value(QStringLiteral("RunAtLoad"), false);
    if (runAtLoad.typeId() != QMetaType::Bool || runAtLoad.toBool()) {
        *error = QStringLiteral("RunAtLoad must be false: loading never starts a run");
        return std::nullopt;
    }

    for (const auto &[key, target] :
         {std::pair{QStringLiteral("StandardOutPath"), &job.standardOutPath},
          std::pair{QStringLiteral("StandardErrorPath"), &job.standardErrorPath}}) {
        if (!dict.contains(key))
            continue;
        const QVariant path = dict.value(key);
        if (!isString(path)) {
            *error = QStringLiteral("%1 must be a string").arg(key);
            return std::nullopt;
        }
        if (const std::optional<QString> problem = outputPathProblem(path.toString())) {
            *error = QStringLiteral("%1 %2").arg(key, *problem);
            return std::nullopt;
        }
        *target = path.toString();
    }
    return job;
}

} // namespace

bool isValidAgentLabel(const QString &label)
{
    // systemd unit-name characters without "@" (templates) and "\"; a leading letter or digit
    // keeps it from reading as an option; the length leaves room for ".service".
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9][A-Za-z0-9_.:-]{0,199}")));
    return pattern.match(label).hasMatch();
}

std::optional<AgentJob> agentJobFromPlist(const QVariant &plist, QString *error)
{
    QString reason;
    std::optional<AgentJob> job = jobFromPlist(plist, &reason);
    if (!job && error)
        *error = reason;
    return job;
}
