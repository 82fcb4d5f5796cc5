#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace parlix {

// Line framing of the text read from the modem: takes the lines the modem sends on its own
// (RING, +CRING, +CLIP, NO CARRIER, +CLCC outside a call-state query, +CMTI and the like, and
// vendor "^" codes) out of the stream, together with the blank line that frames them, and
// passes everything else through unchanged (prompts and partial lines included). A pushed
// delivery report ("+CDS: <length>" and its PDU on the next line) comes out as one entry, the
// two lines joined by "\n".
//
// A trailing piece that could still grow into such a line ("RI", "+CL", a lone blank line) is
// held back until the next chunk decides it, so a code split over two reads is still found.
//
// It works on the bytes as they come from the port, before they are decoded: the codes are
// ASCII whatever character set the texts use ("^" and "_" are other letters in the GSM set).
class UnsolicitedFilter
{
public:
    enum class Context {
        Reply,       // ordinary command replies
        CallList,    // the reply to AT+CLCC: its +CLCC lines are the answer
        MessageList, // AT+CMGL / AT+CMGR: nothing is taken out, since a message text may hold
                     // any line; the listing's reader sorts out what lies between records
    };

    void setContext(Context context) { m_context = context; }
    Context context() const { return m_context; }

    // Returns the bytes that belong to replies; appends the unsolicited lines (without their
    // line breaks, read as Latin-1) to unsolicited.
    QByteArray feed(const QByteArray &bytes, QStringList &unsolicited);
    // Releases whatever is held back (as reply bytes) and starts afresh.
    QByteArray flush();
    // Drops whatever is held back.
    void reset()
    {
        m_pending.clear();
        m_reportHead.clear();
    }

    // Whether a complete line (without its line break) is a code the modem sends on its own.
    static bool isUnsolicitedLine(const QString &line, Context context);
    static bool isUnsolicitedLine(QByteArrayView line, Context context);

private:
    bool couldBecomeUnsolicited(QByteArrayView partialLine) const;

    Context m_context = Context::Reply;
    QByteArray m_pending;
    QByteArray m_reportHead; // a "+CDS: …" line whose PDU line has not come yet
};

} // namespace parlix
