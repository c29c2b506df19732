#include "PlistReader.h"

#include <QVariantList>
#include <QVariantMap>
#include <QXmlStreamReader>

#include <algorithm>
#include <limits>

namespace {

class Reader
{
public:
    explicit Reader(const QByteArray &bytes) : m_xml(bytes) {}

    std::optional<QVariant> read()
    {
        if (!nextSignificant(true))
            return std::nullopt;
        if (!m_xml.isStartElement() || m_xml.name() != QLatin1String("plist"))
            return fail(QStringLiteral("the root element is not <plist>"));
        const QXmlStreamAttributes attributes = m_xml.attributes();
        for (const QXmlStreamAttribute &attribute : attributes) {
            if (attribute.name() != QLatin1String("version") ||
                attribute.value() != QLatin1String("1.0"))
                return fail(QStringLiteral("<plist> must have no attribute but version=\"1.0\""));
        }
        if (!nextSignificant(false))
            return std::nullopt;
        if (!m_xml.isStartElement())
            return fail(QStringLiteral("<plist> holds no value"));
        std::optional<QVariant> root = readValue(1);
        if (!root || !nextSignificant(false))
            return std::nullopt;
        if (!m_xml.isEndElement())
            return fail(QStringLiteral("<plist> holds more than one value"));
        if (!nextSignificant(false))
            return std::nullopt;
        if (!m_xml.atEnd() && m_xml.tokenType() != QXmlStreamReader::EndDocument)
            return fail(QStringLiteral("content after </plist>"));
        return root;
    }

    QString error() const { return m_error; }

private:
    std::nullopt_t fail(const QString &message)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("line %1: %2").arg(m_xml.lineNumber()).arg(message);
        return std::nullopt;
    }

    bool failed(const QString &message)
    {
        fail(message);
        return false;
    }

    // Moves to the next element boundary (or the end of the document), passing over blank text,
    // comments and processing instructions; the prolog is checked on the way.
    bool nextSignificant(bool inProlog)
    {
        for (;;) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::Invalid:
                return failed(QStringLiteral("not well-formed XML: ") + m_xml.errorString());
            case QXmlStreamReader::StartDocument:
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                break;
            case QXmlStreamReader::DTD:
                if (!inProlog || m_xml.dtdName() != QLatin1String("plist") ||
                    !m_xml.entityDeclarations().isEmpty() ||
                    !m_xml.notationDeclarations().isEmpty())
                    return failed(QStringLiteral("only a plain plist DOCTYPE is accepted"));
                break;
            case QXmlStreamReader::Characters:
                if (!m_xml.isWhitespace())
                    return failed(QStringLiteral("unexpected text between elements"));
                break;
            case QXmlStreamReader::EntityReference:
                return failed(QStringLiteral("unknown entity &%1;").arg(m_xml.name()));
            default:
                return true;
            }
        }
    }

    // Reads the text of a text-only element; the reader then stands on its end tag.
    std::optional<QString> readText()
    {
        QString text;
        for (;;) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::Characters:
                text += m_xml.text();
                break;
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                break;
            case QXmlStreamReader::EndElement:
                return text;
            case QXmlStreamReader::Invalid:
                return fail(QStringLiteral("not well-formed XML: ") + m_xml.errorString());
            case QXmlStreamReader::EntityReference:
                return fail(QStringLiteral("unknown entity &%1;").arg(m_xml.name()));
            default:
                return fail(QStringLiteral("<%1> may hold only text").arg(m_currentName));
            }
        }
    }

    std::optional<QVariant> readInteger()
    {
        const std::optional<QString> text = readText();
        if (!text)
            return std::nullopt;
        QString digits = text->trimmed();
        bool negative = false;
        if (digits.startsWith(QLatin1Char('-')) || digits.startsWith(QLatin1Char('+'))) {
            negative = digits.front() == QLatin1Char('-');
            digits.remove(0, 1);
        }
        int base = 10;
        if (digits.startsWith(QLatin1String("0x")) || digits.startsWith(QLatin1String("0X"))) {
            base = 16;
            digits.remove(0, 2);
        }
        // toULongLong alone would also take blanks and a second sign.
        const bool wellFormed =
            !digits.isEmpty() && std::all_of(digits.cbegin(), digits.cend(), [base](QChar c) {
                return c.isDigit() ? c.unicode() < 128
                                   : base == 16 && QStringLiteral("abcdefABCDEF").contains(c);
            });
        bool ok = false;
        const qulonglong magnitude = wellFormed ? digits.toULongLong(&ok, base) : 0;
        const qulonglong limit =
            qulonglong(std::numeric_limits<qint64>::max()) + (negative ? 1 : 0);
        if (!ok || magnitude > limit)
            return fail(
                QStringLiteral("\"%1\" is not a 64-bit integer").arg(text->trimmed().left(40)));
        if (negative)
            return QVariant(qint64(0 - magnitude));
        return QVariant(qint64(magnitude));
    }

    std::optional<QVariant> readArray(int depth)
    {
        QVariantList list;
        for (;;) {
            if (!nextSignificant(false))
                return std::nullopt;
            if (m_xml.isEndElement())
                return list;
            if (!m_xml.isStartElement())
                return fail(QStringLiteral("unterminated <array>"));
            std::optional<QVariant> element = readValue(depth + 1);
            if (!element)
                return std::nullopt;
            list.append(*element);
        }
    }

    std::optional<QVariant> readDict(int depth)
    {
        QVariantMap map;
        for (;;) {
            if (!nextSignificant(false))
                return std::nullopt;
            if (m_xml.isEndElement())
                return map;
            if (!m_xml.isStartElement() || m_xml.name() != QLatin1String("key"))
                return fail(QStringLiteral("expected <key> in <dict>"));
            if (!m_xml.attributes().isEmpty())
                return fail(QStringLiteral("<key> takes no attributes"));
            m_currentName = QStringLiteral("key");
            const std::optional<QString> key = readText();
            if (!key)
                return std::nullopt;
            if (map.contains(*key))
                return fail(QStringLiteral("key \"%1\" appears twice").arg(*key));
            if (!nextSignificant(false))
                return std::nullopt;
            if (!m_xml.isStartElement())
                return fail(QStringLiteral("key \"%1\" has no value").arg(*key));
            std::optional<QVariant> value = readValue(depth + 1);
            if (!value)
                return std::nullopt;
            map.insert(*key, *value);
        }
    }

    // The reader stands on a start tag.
    std::optional<QVariant> readValue(int depth)
    {
        if (depth > PlistMaxDepth)
            return fail(
                QStringLiteral("values nested more than %1 levels deep").arg(PlistMaxDepth));
        m_currentName = m_xml.name().toString();
        if (!m_xml.attributes().isEmpty())
            return fail(QStringLiteral("<%1> takes no attributes").arg(m_currentName));
        if (m_currentName == QLatin1String("dict"))
            return readDict(depth);
        if (m_currentName == QLatin1String("array"))
            return readArray(depth);
        if (m_currentName == QLatin1String("string"))
            return readText();
        if (m_currentName == QLatin1String("integer"))
            return readInteger();
        if (m_currentName == QLatin1String("true") || m_currentName == QLatin1String("false")) {
            const bool value = m_currentName == QLatin1String("true");
            const std::optional<QString> text = readText();
            if (!text)
                return std::nullopt;
            if (!text->isEmpty())
                return fail(QStringLiteral("<%1> must be empty").arg(value ? "true" : "false"));
            return QVariant(value);
        }
        return fail(QStringLiteral("unsupported element <%1>").arg(m_currentName.left(40)));
    }

    QXmlStreamReader m_xml;
    QString m_currentName;
    QString m_error;
};

} // namespace

std::optional<QVariant> readXmlPlist(const QByteArray &bytes, QString *error)
{
    auto failWith = [error](const QString &message) -> std::optional<QVariant> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    if (bytes.size() > PlistMaxBytes)
        return failWith(QStringLiteral("larger than %1 bytes").arg(PlistMaxBytes));
    if (bytes.startsWith("bplist"))
        return failWith(QStringLiteral("a binary property list; only the XML form is read"));
    Reader reader(bytes);
    std::optional<QVariant> root = reader.read();
    if (!root)
        return failWith(reader.error());
    return root;
}
