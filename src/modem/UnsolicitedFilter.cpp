#include "modem/UnsolicitedFilter.h"

#include <utility>

namespace parlix {

namespace {

// Whole lines that are unsolicited codes.
const QLatin1String kWholeLines[] = {QLatin1String("RING"), QLatin1String("NO CARRIER")};

// Line beginnings of unsolicited codes. +CLCC is handled apart: it is also the answer to AT+CLCC.
const QLatin1String kPrefixes[] = {
    QLatin1String("+CRING:"),     QLatin1String("+CLIP:"),       QLatin1String("+CMTI:"),  QLatin1String("+CDSI:"),
    QLatin1String("+CDS:"),       QLatin1String("+CREG:"),       QLatin1String("+CGREG:"), QLatin1String("^"),
    QLatin1String("VOICE CALL:"), QLatin1String("MISSED_CALL:"),
};
const QLatin1String kClcc("+CLCC:");

QByteArrayView withoutLineEnd(QByteArrayView line)
{
    qsizetype end = line.size();
    while (end > 0 && (line[end - 1] == '\r' || line[end - 1] == '\n'))
        --end;
    qsizetype start = 0;
    while (start < end && line[start] == '\r')
        ++start;
    return line.sliced(start, end - start);
}

} // namespace

bool UnsolicitedFilter::isUnsolicitedLine(const QString &line, Context context)
{
    return isUnsolicitedLine(QByteArrayView(line.toLatin1()), context);
}

bool UnsolicitedFilter::isUnsolicitedLine(QByteArrayView line, Context context)
{
    for (const auto &whole : kWholeLines) {
        if (line == QByteArrayView(whole.data(), whole.size()))
            return true;
    }
    for (const auto &prefix : kPrefixes) {
        if (line.startsWith(QByteArrayView(prefix.data(), prefix.size())))
            return true;
    }
    return context != Context::CallList && line.startsWith(QByteArrayView(kClcc.data(), kClcc.size()));
}

bool UnsolicitedFilter::couldBecomeUnsolicited(QByteArrayView partialLine) const
{
    if (!m_reportHead.isEmpty())
        return true; // the PDU line of a +CDS is still arriving
    const QByteArrayView line = withoutLineEnd(partialLine);
    if (line.isEmpty())
        return false;
    auto grows = [&line](QLatin1String code) {
        const QByteArrayView c(code.data(), code.size());
        return c.startsWith(line) || line.startsWith(c);
    };
    for (const auto &whole : kWholeLines) {
        if (QByteArrayView(whole.data(), whole.size()).startsWith(line))
            return true;
    }
    for (const auto &prefix : kPrefixes) {
        if (grows(prefix))
            return true;
    }
    return m_context != Context::CallList && grows(kClcc);
}

QByteArray UnsolicitedFilter::feed(const QByteArray &bytes, QStringList &unsolicited)
{
    if (m_context == Context::MessageList)
        return std::exchange(m_pending, {}) + bytes;
    const QByteArray s = m_pending.isEmpty() ? bytes : m_pending + bytes;
    m_pending.clear();

    QByteArray out;
    out.reserve(s.size());
    QByteArrayView blank; // a blank line not yet passed on: it may be the framing of a code that follows
    qsizetype pos = 0;
    while (pos < s.size()) {
        const qsizetype nl = s.indexOf('\n', pos);
        if (nl < 0)
            break;
        const QByteArrayView line = QByteArrayView(s).sliced(pos, nl + 1 - pos);
        pos = nl + 1;
        const QByteArrayView content = withoutLineEnd(line);
        if (!m_reportHead.isEmpty()) {
            if (!content.isEmpty()) {
                QByteArray report = std::exchange(m_reportHead, {});
                report.append('\n').append(content);
                unsolicited << QString::fromLatin1(report);
            }
            continue;
        }
        if (content.isEmpty()) {
            out += blank;
            blank = line;
            continue;
        }
        if (isUnsolicitedLine(content, m_context)) {
            if (content.startsWith("+CDS:"))
                m_reportHead = content.toByteArray();
            else
                unsolicited << QString::fromLatin1(content);
            blank = {};
            continue;
        }
        out += blank;
        blank = {};
        out += line;
    }

    const QByteArrayView tail = QByteArrayView(s).sliced(pos);
    if (!tail.isEmpty() && !couldBecomeUnsolicited(tail)) {
        out += blank;
        out += tail;
    } else {
        m_pending = blank.toByteArray() + tail.toByteArray();
    }
    return out;
}

QByteArray UnsolicitedFilter::flush()
{
    return std::exchange(m_pending, {});
}

} // namespace parlix
