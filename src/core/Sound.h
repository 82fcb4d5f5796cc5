#pragma once

#include <QString>

namespace parlix {

// Plays a wave file, asynchronously when asked. Returns false, playing nothing, when the file
// is missing or there is no audio output; callers ignore the result.
bool PlaySoundFile(const QString &fileName, bool async);

} // namespace parlix
