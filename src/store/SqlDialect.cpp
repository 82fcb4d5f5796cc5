#include "store/SqlDialect.h"

#include <QStringList>

#include <algorithm>

namespace parlix::sql {

QVariant dateValue(const QDateTime &when)
{
    if (!when.isValid())
        return QVariant(QMetaType(QMetaType::QString));
    return when.toString(QLatin1String(kDateFormat));
}

QDateTime dateFrom(const QVariant &stored)
{
    if (stored.isNull())
        return {};
    if (stored.metaType().id() == QMetaType::QDateTime)
        return stored.toDateTime();
    const QString text = stored.toString().trimmed();
    QDateTime dt = QDateTime::fromString(text, QLatin1String(kDateFormat));
    if (!dt.isValid())
        dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    return dt;
}

QVariant boolValue(bool value)
{
    return value ? 1 : 0;
}

bool boolFrom(const QVariant &stored)
{
    if (stored.isNull())
        return false;
    switch (stored.metaType().id()) {
    case QMetaType::Bool:
        return stored.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return stored.toDouble() != 0.0;
    default:
        break;
    }
    const QString text = stored.toString().trimmed();
    bool isNumber = false;
    const double number = text.toDouble(&isNumber);
    if (isNumber)
        return number != 0.0;
    return text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
           text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
}

QString lastTenDigits(const QString &column)
{
    return QStringLiteral("substr(%1,-10)").arg(column);
}

QString lastTen(const QString &number)
{
    return number.right(10);
}

NumberMatch numberMatch(const QString &column, const QString &typed, const QString &keyColumn,
                        const QString &trigramTable)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return {};
    if (text.size() >= 10)
        return {lastTenDigits(column) + QStringLiteral("=?"), lastTen(text)};
    const QString pattern = QLatin1Char('%') + text + QLatin1Char('%');
    if (text.size() >= 3 && !trigramTable.isEmpty())
        return {QStringLiteral("%1 IN (SELECT rowid FROM %2 WHERE %3 LIKE ?)").arg(keyColumn, trigramTable, column),
                pattern};
    return {column + QStringLiteral(" LIKE ?"), pattern};
}

QString pageClause()
{
    return QStringLiteral(" LIMIT ? OFFSET ?");
}

PageWindow pageWindow(qint64 limit, qint64 offset, qint64 total)
{
    if (total < 0 || offset <= total / 2)
        return {limit, offset, false};
    const qint64 end = std::min(total, offset + limit);
    if (offset >= end)
        return {0, 0, false};
    return {end - offset, total - end, true};
}

QString orderBy(std::initializer_list<OrderTerm> terms, bool reversed)
{
    QStringList parts;
    for (const OrderTerm &t : terms)
        parts << QLatin1String(t.column) + (t.descending != reversed ? QStringLiteral(" DESC") : QString());
    return QStringLiteral(" ORDER BY ") + parts.join(QStringLiteral(", "));
}

QString EscapeSqlText(const QString &text)
{
    if (text.trimmed().isEmpty())
        return text;
    QString out = text;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    out.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return out;
}

} // namespace parlix::sql
