#pragma once

// The GSM 7-bit default alphabet as septets (3GPP TS 23.038): text to septet codes and back,
// and the packing of septets into octets that SMS user data uses.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace parlix::gsm7 {

// Septet codes, an extension character written as the escape 0x1B and its code; nothing when
// a character has no place in the alphabet.
std::optional<QByteArray> toSeptets(QStringView text);
// Septets the text takes (an extension character counts two), or -1 when it does not fit.
int septetCount(QStringView text);
// Septet codes to text. An unknown extension code reads as its default-table character and
// a lone escape at the end is dropped, as receivers are told to do.
QString fromSeptets(QByteArrayView septets);

// Packs septets least significant bit first. fillBits zero bits come first, so that user data
// after a header starts on a septet boundary of the whole user data.
QByteArray pack(QByteArrayView septets, int fillBits = 0);
// The reverse: count septets after fillBits bits. The caller checks that octets hold them.
QByteArray unpack(QByteArrayView octets, int count, int fillBits = 0);

} // namespace parlix::gsm7
