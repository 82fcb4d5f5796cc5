#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace parlix {

// A failure as a value: what went wrong, in words the operator can read.
struct Status
{
    bool ok = true;
    QString error;

    static Status success() { return {}; }
    static Status failure(QString message) { return {false, std::move(message)}; }
    explicit operator bool() const { return ok; }
};

template <typename T> class Result
{
public:
    Result(T value)
        : m_value(std::move(value))
    {
    }
    static Result failure(QString message)
    {
        Result r;
        r.m_error = std::move(message);
        return r;
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T &value() const { return *m_value; }
    T &value() { return *m_value; }
    const T &operator*() const { return *m_value; }
    const T *operator->() const { return &*m_value; }
    const QString &error() const { return m_error; }
    Status status() const { return ok() ? Status::success() : Status::failure(m_error); }

private:
    Result() = default;
    std::optional<T> m_value;
    QString m_error;
};

} // namespace parlix
