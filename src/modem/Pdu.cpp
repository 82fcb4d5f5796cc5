#include "modem/Pdu.h"

namespace parlix::pdu {

StatusReport::Outcome StatusReport::outcome() const
{
    if (status >= 0 && status < 0x20)
        return Outcome::Delivered;
    if (status >= 0x20 && status < 0x40)
        return Outcome::Pending;
    return Outcome::Failed;
}

Result<EncodedPdu> encodeSubmit(const SubmitPdu &)
{
    return Result<EncodedPdu>::failure(QStringLiteral("not implemented yet"));
}

Result<EncodedPdu> encodeDeliver(const DeliverPdu &)
{
    return Result<EncodedPdu>::failure(QStringLiteral("not implemented yet"));
}

Result<EncodedPdu> encodeStatusReport(const StatusReport &)
{
    return Result<EncodedPdu>::failure(QStringLiteral("not implemented yet"));
}

Result<DecodedPdu> decodePdu(QByteArrayView, int)
{
    return Result<DecodedPdu>::failure(QStringLiteral("not implemented yet"));
}

bool fitsGsm7(const QString &)
{
    return true;
}

SmsSplit splitText(const QString &text)
{
    return {Alphabet::Gsm7, {text}};
}

SmsCount countText(const QString &)
{
    return {};
}

Result<QList<SubmitPdu>> submitsForText(const SubmitPdu &base, const QString &text, int)
{
    SubmitPdu one = base;
    one.text = text;
    return QList<SubmitPdu>{one};
}

} // namespace parlix::pdu
