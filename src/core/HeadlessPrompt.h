#pragma once

#include "core/Prompt.h"

namespace parlix {

class ActivityLog;

// Without windows nobody can answer: every message becomes a log line and every question
// is answered No, the safe choice of each question the program asks.
class HeadlessPrompt final : public Prompt
{
public:
    explicit HeadlessPrompt(ActivityLog &log)
        : m_log(log)
    {
    }
    bool ask(const Request &request) override;

private:
    ActivityLog &m_log;
};

} // namespace parlix
