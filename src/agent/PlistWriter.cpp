#include "PlistWriter.h"

#include <QBuffer>
#include <QXmlStreamWriter>

namespace {

// XML 1.0 Char production; QXmlStreamWriter would otherwise write such characters raw.
bool isXmlText(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate())
                return false;
            ++i;
            continue;
        }
        const char16_t u = c.unicode();
        if (c.isLowSurrogate() || u == 0xFFFE || u == 0xFFFF)
            return false;
        if (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D)
            return false;
    }
    return true;
}

class Writer
{
public:
    explicit Writer(QIODevice *device) : m_xml(device)
    {
        m_xml.setAutoFormatting(true);
        m_xml.setAutoFormattingIndent(-1); // one tab per level, as plist files usually are
    }

    bool write(const QVariant &root)
    {
        m_xml.writeStartDocument();
        m_xml.writeDTD(QStringLiteral("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"));
        m_xml.writeStartElement(QStringLiteral("plist"));
        m_xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
        if (!writeValue(root))
            return false;
        m_xml.writeEndElement();
        m_xml.writeEndDocument();
        if (m_xml.hasError())
            m_error = QStringLiteral("the property list could not be written");
        return !m_xml.hasError();
    }

    QString error() const { return m_error; }

private:
    bool writeText(const QString &element, const QString &text)
    {
        if (!isXmlText(text)) {
            m_error = QStringLiteral("text contains characters XML cannot carry");
            return false;
        }
        m_xml.writeTextElement(element, text);
        return true;
    }

    bool writeValue(const QVariant &value)
    {
        switch (value.typeId()) {
        case QMetaType::QVariantMap: {
            m_xml.writeStartElement(QStringLiteral("dict"));
            const QVariantMap map = value.toMap();
            for (auto it = map.cbegin(); it != map.cend(); ++it) {
                if (!writeText(QStringLiteral("key"), it.key()) || !writeValue(it.value()))
                    return false;
            }
            m_xml.writeEndElement();
            return true;
        }
        case QMetaType::QVariantList: {
            m_xml.writeStartElement(QStringLiteral("array"));
            for (const QVariant &element : value.toList()) {
                if (!writeValue(element))
                    return false;
            }
            m_xml.writeEndElement();
            return true;
        }
        case QMetaType::QString:
            return writeText(QStringLiteral("string"), value.toString());
        case QMetaType::Bool:
            m_xml.writeEmptyElement(value.toBool() ? QStringLiteral("true")
                                                   : QStringLiteral("false"));
            return true;
        case QMetaType::Int:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
            m_xml.writeTextElement(QStringLiteral("integer"), QString::number(value.toLongLong()));
            return true;
        case QMetaType::UInt:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UShort:
            m_xml.writeTextElement(QStringLiteral("integer"), QString::number(value.toULongLong()));
            return true;
        default:
            m_error = QStringLiteral("no property-list type for a value of type %1")
                          .arg(QString::fromLatin1(value.typeName() ? value.typeName() : "null"));
            return false;
        }
    }

    QXmlStreamWriter m_xml;
    QString m_error;
};

} // namespace

std::optional<QByteArray> writeXmlPlist(const QVariant &root, QString *error)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    Writer writer(&buffer);
    if (!writer.write(root)) {
        if (error)
            *error = writer.error();
        return std::nullopt;
    }
    return bytes;
}
