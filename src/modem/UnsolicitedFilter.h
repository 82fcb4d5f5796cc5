#pragma once

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
class UnsolicitedFilter
{
public:
    enum class Context {
        Reply,       // ordinary command replies
        CallList,    // the reply to AT+CLCC: its +CLCC lines are the answer
        MessageList, // AT+CMGL / AT+CMGR: message bodies are raw text, so a body line "RING"
                     // stays; only codes framed by a blank line are taken out
    };

    void setContext(Context context) { m_context = context; }
    Context context() const { return m_context; }

    // Returns the text that belongs to replies; appends the unsolicited lines (without their
    // line breaks) to unsolicited.
    QString feed(const QString &text, QStringList &unsolicited);
    // Releases whatever is held back (as reply text) and starts afresh.
    QString flush();
    // Drops whatever is held back.
    void reset()
    {
        m_pending.clear();
        m_reportHead.clear();
    }

    // Whether a complete line (without its line break) is a code the modem sends on its own.
    static bool isUnsolicitedLine(const QString &line, Context context);

private:
    bool couldBecomeUnsolicited(const QString &partialLine) const;

    Context m_context = Context::Reply;
    QString m_pending;
    QString m_reportHead; // a "+CDS: …" line whose PDU line has not come yet
    bool m_previousLineBlank = true;
};

} // namespace parlix
