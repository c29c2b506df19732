#include "AgentJob.h"

#include "OnCalendar.h"

#include <QRegularExpression>
#include <QVariantList>
#include <QVariantMap>

#include <algorithm>
#include <climits>

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

// systemd refuses a unit whose ExecStart= program path holds a quote, a backslash or a control
// character, ends in "/", has a name longer than NAME_MAX or is PATH_MAX bytes long, and says so
// only when it loads the unit: better refused here, before a unit is written.
std::optional<QString> programPathProblem(const QString &path)
{
    const QString refused = QStringLiteral("ProgramArguments: systemd refuses a program path ");
    if (!path.startsWith(QLatin1Char('/')))
        return QStringLiteral("ProgramArguments must begin with an absolute program path");
    if (std::any_of(path.cbegin(), path.cend(), [](QChar c) {
            return c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('\\');
        }))
        return refused + QStringLiteral("with a quote or a backslash");
    if (path.endsWith(QLatin1Char('/')))
        return refused + QStringLiteral("ending in \"/\"");
    const QByteArray bytes = path.toUtf8();
    if (bytes.size() >= PATH_MAX)
        return refused + QStringLiteral("of %1 bytes or more").arg(PATH_MAX);
    for (const QByteArray &name : bytes.split('/')) {
        if (name.size() > NAME_MAX)
            return refused + QStringLiteral("with a name longer than %1 bytes").arg(NAME_MAX);
    }
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

bool readLabel(const QString &, const QVariant &value, AgentJob &job, QString *error)
{
    if (!isValidAgentLabel(value.toString())) {
        *error = QStringLiteral("Label must be a text of letters, digits, \".\", \"_\", \":\" and "
                                "\"-\", beginning with a letter or digit");
        return false;
    }
    job.label = value.toString();
    return true;
}

bool readProgramArguments(const QString &, const QVariant &value, AgentJob &job, QString *error)
{
    const QVariantList arguments = value.toList();
    if (arguments.isEmpty()) {
        *error = QStringLiteral("ProgramArguments must be a non-empty array of strings");
        return false;
    }
    for (const QVariant &argument : arguments) {
        if (!isString(argument) || hasControlCharacter(argument.toString())) {
            *error =
                QStringLiteral("ProgramArguments must hold strings without control characters");
            return false;
        }
        job.programArguments.append(argument.toString());
    }
    if (const std::optional<QString> problem = programPathProblem(job.programArguments.first())) {
        *error = *problem;
        return false;
    }
    return true;
}

bool readSchedule(const QString &, const QVariant &value, AgentJob &job, QString *error)
{
    const QVariantList intervals =
        value.typeId() == QMetaType::QVariantList ? value.toList() : QVariantList{value};
    if (intervals.isEmpty()) {
        *error = QStringLiteral("StartCalendarInterval is an empty array");
        return false;
    }
    for (const QVariant &entry : intervals) {
        const std::optional<CalendarInterval> interval = intervalFromDict(entry, error);
        const std::optional<QString> calendar =
            interval ? onCalendarExpression(*interval, error) : std::nullopt;
        if (!calendar)
            return false;
        job.calendars.append(*calendar);
    }
    return true;
}

bool readRunAtLoad(const QString &, const QVariant &value, AgentJob &, QString *error)
{
    if (value.toBool()) {
        *error = QStringLiteral("RunAtLoad must be false: loading never starts a run");
        return false;
    }
    return true;
}

bool readOutputPath(const QString &key, const QVariant &value, AgentJob &job, QString *error)
{
    if (const std::optional<QString> problem = outputPathProblem(value.toString())) {
        *error = QStringLiteral("%1 %2").arg(key, *problem);
        return false;
    }
    (key == QLatin1String("StandardOutPath") ? job.standardOutPath : job.standardErrorPath) =
        value.toString();
    return true;
}

// Every key a document may hold, in the order they are checked. A type of UnknownType leaves
// the check to the handler.
struct KeyRule
{
    const char *key;
    QMetaType::Type type;
    bool required;
    bool (*read)(const QString &key, const QVariant &value, AgentJob &job, QString *error);
};

constexpr KeyRule KeyRules[] = {
    {"Label", QMetaType::QString, true, readLabel},
    {"ProgramArguments", QMetaType::QVariantList, true, readProgramArguments},
    {"StartCalendarInterval", QMetaType::UnknownType, true, readSchedule},
    {"RunAtLoad", QMetaType::Bool, false, readRunAtLoad},
    {"StandardOutPath", QMetaType::QString, false, readOutputPath},
    {"StandardErrorPath", QMetaType::QString, false, readOutputPath},
};

QString typeName(QMetaType::Type type)
{
    switch (type) {
    case QMetaType::QString:
        return QStringLiteral("a string");
    case QMetaType::QVariantList:
        return QStringLiteral("an array");
    default:
        return QStringLiteral("a boolean");
    }
}

std::optional<AgentJob> jobFromPlist(const QVariant &plist, QString *error)
{
    if (plist.typeId() != QMetaType::QVariantMap) {
        *error = QStringLiteral("the property list is not a dictionary");
        return std::nullopt;
    }
    const QVariantMap dict = plist.toMap();
    for (auto it = dict.cbegin(); it != dict.cend(); ++it) {
        if (std::none_of(std::begin(KeyRules), std::end(KeyRules), [&](const KeyRule &rule) {
                return it.key() == QLatin1String(rule.key);
            })) {
            *error = QStringLiteral("unsupported key \"%1\"").arg(it.key().left(60));
            return std::nullopt;
        }
    }

    AgentJob job;
    for (const KeyRule &rule : KeyRules) {
        const QString key = QString::fromLatin1(rule.key);
        const QVariant value = dict.value(key);
        if (!value.isValid()) {
            if (!rule.required)
                continue;
            *error = QStringLiteral("%1 is missing").arg(key);
            return std::nullopt;
        }
        if (rule.type != QMetaType::UnknownType && value.typeId() != rule.type) {
            *error = QStringLiteral("%1 must be %2").arg(key, typeName(rule.type));
            return std::nullopt;
        }
        if (!rule.read(key, value, job, error))
            return std::nullopt;
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
