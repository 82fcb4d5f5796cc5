#include "webmail/TagCommand.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Any text an account holder can send: the fields never grow beyond the text they came from.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const parlix::webmail::TagCommand command = parlix::webmail::parseTagCommand(text);
    for (const QString *field : {&command.userName, &command.password, &command.numbers, &command.message}) {
        if (field->size() > text.size())
            std::abort();
    }
    for (const QString &number : parlix::webmail::recipientNumbers(command.numbers)) {
        if (number.isEmpty() || number.contains(QLatin1Char(',')))
            std::abort();
    }
    return 0;
}
