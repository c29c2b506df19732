#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <cstddef>
#include <optional>

/**
 * The texts an enumeration is stored and shown by. Specialise EnumTexts<Enum> with a constexpr
 * array `rows` of {case, text} pairs, every case once and in declaration order; the functions
 * below refuse to compile for a table that is not.
 */
template <typename Enum> struct EnumTexts;

template <typename Enum> consteval bool inDeclarationOrder()
{
    const auto &rows = EnumTexts<Enum>::rows;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].first != Enum(i))
            return false;
    }
    return true;
}

/** The text of @p value. */
template <typename Enum> QString enumText(Enum value)
{
    static_assert(inDeclarationOrder<Enum>(), "EnumTexts rows must follow the declaration order");
    for (const auto &[each, text] : EnumTexts<Enum>::rows) {
        if (each == value)
            return QString::fromLatin1(text);
    }
    return QString();
}

/** The case whose text is exactly @p text (case-sensitive); no case for any other text. */
template <typename Enum> std::optional<Enum> enumFromText(QStringView text)
{
    static_assert(inDeclarationOrder<Enum>(), "EnumTexts rows must follow the declaration order");
    for (const auto &[value, name] : EnumTexts<Enum>::rows) {
        if (text == QLatin1String(name))
            return value;
    }
    return std::nullopt;
}

/** Every case, in declaration order. */
template <typename Enum> QList<Enum> enumCases()
{
    static_assert(inDeclarationOrder<Enum>(), "EnumTexts rows must follow the declaration order");
    QList<Enum> cases;
    for (const auto &row : EnumTexts<Enum>::rows)
        cases.append(row.first);
    return cases;
}
