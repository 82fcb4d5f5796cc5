#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QSqlDatabase>
#include <QString>

#include <atomic>
#include <functional>

namespace parlix {

// What an export can write the received SMS into.
enum class ExportFormat {
    Text,     // delimited text, one line per SMS
    Workbook, // an .xlsx workbook
    Database, // an SQLite database file with the table SMS_Details
};

// Text files are UTF-8 unless an old spreadsheet program needs the Windows "ANSI" code page.
enum class TextEncoding { Utf8, Windows1252 };

// The fields of a received SMS that can be exported. Whatever order they are asked in, they
// are written in this one.
enum class ExportField { SenderMobileNo, Message, InboxDateTime };

QString exportColumnName(ExportField field);
const QList<ExportField> &allExportFields();

struct TextExportOptions
{
    bool includeFieldNames = true;
    QString delimiter = QStringLiteral(",");
    QString qualifier = QStringLiteral("\""); // empty: values are written bare
    TextEncoding encoding = TextEncoding::Utf8;
};

struct ExportRequest
{
    // The SMS received from..to, both included.
    QDateTime from;
    QDateTime to;
    QList<ExportField> fields;
    ExportFormat format = ExportFormat::Text;
    QString path;
    TextExportOptions text;
};

struct ExportOutcome
{
    enum class Kind {
        Done,
        NoRows,    // the range held no rows when the export ran; the file has only its field names
        Cancelled, // the file keeps the rows written until then
        Failed,    // likewise; error says why
    };
    Kind kind = Kind::Done;
    qint64 written = 0;
    // Characters the Windows-1252 code page has no place for, written as '?'.
    qint64 unencodable = 0;
    QString error;
};

// The extension a file of the format must end in (".csv", ".xlsx", ".db").
QString exportExtension(ExportFormat format);
bool hasExportExtension(const QString &path, ExportFormat format);

// A value as it sits between two text qualifiers: every qualifier in it written twice. A value
// of blanks only becomes empty; without a qualifier the value is returned unchanged.
QString ReplaceTextQualifier(const QString &textQ, const QString &stringToReplace);

// Creates the empty target file that the export later fills; an existing file is never
// touched. The workbook is a valid one without rows.
Status createExportTarget(const QString &path, ExportFormat format);

// Writes every SMS of the request's range into request.path, replacing what the file holds,
// reading the inbox a page at a time through db. Runs on the thread that owns db. cancel is
// tested before every row; progress is called now and then with the rows written so far and
// the number of rows the range held at the start.
using ExportProgress = std::function<void(qint64 written, qint64 total)>;
ExportOutcome runSmsExport(const QSqlDatabase &db, const ExportRequest &request, const std::atomic_bool &cancel,
                           const ExportProgress &progress = {});

} // namespace parlix

Q_DECLARE_METATYPE(parlix::ExportOutcome)
