#include "support/PromptRecorder.h"

#include <QMutexLocker>

namespace parlix::test {

bool PromptRecorder::ask(const Request &request)
{
    QMutexLocker lock(&m_mutex);
    m_requests.append(request);
    if (request.buttons != Buttons::YesNo)
        return true;
    if (m_answers.isEmpty())
        return true;
    return m_answers.takeFirst();
}

void PromptRecorder::scriptAnswers(QVector<bool> answers)
{
    QMutexLocker lock(&m_mutex);
    m_answers = std::move(answers);
}

QVector<Prompt::Request> PromptRecorder::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

QStringList PromptRecorder::texts() const
{
    QMutexLocker lock(&m_mutex);
    QStringList out;
    for (const auto &r : m_requests)
        out << r.text;
    return out;
}

QString PromptRecorder::lastText() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests.isEmpty() ? QString() : m_requests.last().text;
}

void PromptRecorder::clear()
{
    QMutexLocker lock(&m_mutex);
    m_requests.clear();
    m_answers.clear();
}

} // namespace parlix::test
