#pragma once

#include <QString>

namespace parlix {

// Plays a wave file (a path, or a resource path ":/…"), asynchronously when asked. Returns
// false, playing nothing, when the file is missing or there is no audio output; callers
// ignore the result.
bool PlaySoundFile(const QString &fileName, bool async);

// Where a sound the program ships ("ringing.wav", "SMSNotify.wav") is played from.
QString shippedSound(const QString &name);

} // namespace parlix
