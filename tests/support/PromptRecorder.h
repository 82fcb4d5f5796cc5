#pragma once

#include "core/Prompt.h"

#include <QMutex>
#include <QStringList>
#include <QVector>

namespace parlix::test {

// Records every text the program shows and answers questions from a script (default Yes).
class PromptRecorder final : public Prompt
{
public:
    bool ask(const Request &request) override;

    void scriptAnswers(QVector<bool> answers);
    QVector<Request> requests() const;
    QStringList texts() const;
    QString lastText() const;
    void clear();

private:
    mutable QMutex m_mutex;
    QVector<Request> m_requests;
    QVector<bool> m_answers;
};

} // namespace parlix::test
