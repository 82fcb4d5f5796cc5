#pragma once

#include "core/Prompt.h"

namespace parlix {

// The operator at a terminal: messages are printed (refusals to standard error); a question
// is asked on the terminal, or, without one, answered by --yes (Yes) or else No.
class CliPrompt final : public Prompt
{
public:
    explicit CliPrompt(bool yesWithoutTerminal = false)
        : m_yes(yesWithoutTerminal)
    {
    }
    bool ask(const Request &request) override;

private:
    bool m_yes;
};

} // namespace parlix
