#pragma once

#include "modem/ModemReplies.h"

#include <QString>

#include <optional>

namespace parlix {

// The outcome of a modem operation: whether the modem confirmed it, the +CMS / +CME error code
// when it gave one, and its reply for the log. Callers decide by ok, never by the reply's words.
struct ModemResult
{
    bool ok = false;
    std::optional<int> cmsError;
    QString reply;

    static ModemResult success(QString reply) { return {true, std::nullopt, std::move(reply)}; }
    // A failure; the modem's error code is taken from the reply when it holds one.
    static ModemResult failure(QString reply = {})
    {
        const int code = parseCmsErrorCode(reply);
        return {false, code < 0 ? std::nullopt : std::optional<int>(code), std::move(reply)};
    }
};

} // namespace parlix
