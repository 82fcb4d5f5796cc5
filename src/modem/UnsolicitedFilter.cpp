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
// A pushed status report: "+CDS: <length>" and, on the next line, the report's PDU.
const QLatin1String kCds("+CDS:");

QString withoutLineEnd(QStringView line)
{
    qsizetype end = line.size();
    while (end > 0 && (line[end - 1] == QLatin1Char('\r') || line[end - 1] == QLatin1Char('\n')))
        --end;
    qsizetype start = 0;
    while (start < end && line[start] == QLatin1Char('\r'))
        ++start;
    return line.mid(start, end - start).toString();
}

} // namespace

bool UnsolicitedFilter::isUnsolicitedLine(const QString &line, Context context)
{
    for (const auto &whole : kWholeLines) {
        if (line == whole)
            return true;
    }
    for (const auto &prefix : kPrefixes) {
        if (line.startsWith(prefix))
            return true;
    }
    return context != Context::CallList && line.startsWith(kClcc);
}

bool UnsolicitedFilter::couldBecomeUnsolicited(const QString &partialLine) const
{
    if (!m_reportHead.isEmpty())
        return true; // the PDU line of a +CDS is still arriving
    const QString line = withoutLineEnd(partialLine);
    if (line.isEmpty())
        return false;
    auto grows = [&line](QLatin1String code) { return code.startsWith(line) || line.startsWith(code); };
    for (const auto &whole : kWholeLines) {
        if (whole.startsWith(line))
            return true;
    }
    for (const auto &prefix : kPrefixes) {
        if (grows(prefix))
            return true;
    }
    return m_context != Context::CallList && grows(kClcc);
}

QString UnsolicitedFilter::feed(const QString &text, QStringList &unsolicited)
{
    const QString s = m_pending + text;
    m_pending.clear();

    QString out;
    out.reserve(s.size());
    QString blank; // a blank line not yet passed on: it may be the framing of a code that follows
    qsizetype pos = 0;
    while (pos < s.size()) {
        const qsizetype nl = s.indexOf(QLatin1Char('\n'), pos);
        if (nl < 0)
            break;
        const QString line = s.mid(pos, nl + 1 - pos);
        pos = nl + 1;
        const QString content = withoutLineEnd(line);
        if (!m_reportHead.isEmpty()) {
            if (!content.isEmpty())
                unsolicited << std::exchange(m_reportHead, {}) + QLatin1Char('\n') + content;
            m_previousLineBlank = true;
            continue;
        }
        if (content.isEmpty()) {
            out += blank;
            blank = line;
            m_previousLineBlank = true;
            continue;
        }
        const bool framed = !blank.isEmpty() || m_previousLineBlank;
        if (isUnsolicitedLine(content, m_context) && (m_context != Context::MessageList || framed)) {
            if (content.startsWith(kCds))
                m_reportHead = content;
            else
                unsolicited << content;
            blank.clear();
            m_previousLineBlank = true; // the code and its framing are gone; what follows starts afresh
            continue;
        }
        out += blank;
        blank.clear();
        out += line;
        m_previousLineBlank = false;
    }

    const QString tail = s.mid(pos);
    if (!tail.isEmpty() && !couldBecomeUnsolicited(tail)) {
        out += blank;
        out += tail;
    } else {
        m_pending = blank + tail;
    }
    return out;
}

QString UnsolicitedFilter::flush()
{
    QString held;
    held.swap(m_pending);
    m_previousLineBlank = true;
    return held;
}

} // namespace parlix
