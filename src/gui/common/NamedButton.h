#pragma once

#include <QPushButton>

namespace parlix {

// A push button found by its objectName that is never a dialog's default button, so Enter in
// a box does not press it.
inline QPushButton *namedButton(const char *name, const QString &text)
{
    auto *b = new QPushButton(text);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace parlix
