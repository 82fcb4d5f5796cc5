#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <optional>

namespace parlix::test {

// The recorded test data shared between checkouts (modem replies, real emails), read in place
// and never copied into the repository: the folder named by PARLIX_TESTDATA, else the shared
// folder beside this checkout. Empty when it is not there; the tests that need it skip.
inline std::optional<QString> sharedTestData(const QString &relative)
{
    const QString root = qEnvironmentVariableIsEmpty("PARLIX_TESTDATA")
                             ? QStringLiteral(PARLIX_SOURCE_DIR "/../shared/testdata")
                             : qEnvironmentVariable("PARLIX_TESTDATA");
    const QString path = QDir(root).filePath(relative);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return path;
}

} // namespace parlix::test
