#include "app/ExportCommand.h"

#include "export/SmsExport.h"
#include "store/Database.h"
#include "store/InboxRepository.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

namespace parlix {

namespace {

constexpr int kFailed = 1;
constexpr int kBadArguments = 2;

int complain(int code, const QString &text)
{
    std::fprintf(stderr, "parlix export: %s\n", qPrintable(text));
    return code;
}

std::optional<QDate> dayFrom(const QString &text)
{
    const QDate day = QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
    return day.isValid() ? std::optional<QDate>(day) : std::nullopt;
}

Result<QList<ExportField>> fieldsFrom(const QString &text)
{
    QList<ExportField> fields;
    for (const QString &word : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = word.trimmed().toLower();
        if (name == QLatin1String("number"))
            fields << ExportField::SenderMobileNo;
        else if (name == QLatin1String("message"))
            fields << ExportField::Message;
        else if (name == QLatin1String("datetime"))
            fields << ExportField::InboxDateTime;
        else
            return Result<QList<ExportField>>::failure(
                QStringLiteral("unknown field '%1' in --fields (use number, message, datetime)").arg(word.trimmed()));
    }
    if (fields.isEmpty())
        return Result<QList<ExportField>>::failure(QStringLiteral("--fields names no field"));
    return fields;
}

Result<ExportFormat> formatFrom(const QString &text)
{
    const QString name = text.trimmed().toLower();
    if (name == QLatin1String("csv"))
        return ExportFormat::Text;
    if (name == QLatin1String("xlsx"))
        return ExportFormat::Workbook;
    if (name == QLatin1String("db"))
        return ExportFormat::Database;
    return Result<ExportFormat>::failure(QStringLiteral("unknown format '%1' (use csv, xlsx or db)").arg(text));
}

Result<QString> delimiterFrom(const QString &text)
{
    if (text == QLatin1String("tab"))
        return QStringLiteral("\t");
    if (text == QLatin1String("space"))
        return QStringLiteral(" ");
    if (text.size() == 1)
        return text;
    return Result<QString>::failure(QStringLiteral("--delimiter takes one character, 'tab' or 'space'"));
}

Result<QString> qualifierFrom(const QString &text)
{
    if (text == QLatin1String("\"") || text == QLatin1String("'"))
        return text;
    if (text == QLatin1String("none"))
        return QString();
    return Result<QString>::failure(QStringLiteral("--qualifier takes \", ' or none"));
}

Result<TextEncoding> encodingFrom(const QString &text)
{
    const QString name = text.trimmed().toLower();
    if (name == QLatin1String("utf-8") || name == QLatin1String("utf8"))
        return TextEncoding::Utf8;
    if (name == QLatin1String("windows-1252") || name == QLatin1String("cp1252"))
        return TextEncoding::Windows1252;
    return Result<TextEncoding>::failure(QStringLiteral("unknown encoding '%1' (use utf-8 or windows-1252)").arg(text));
}

} // namespace

int runExportCommand(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Parlix"));
    QCoreApplication::setOrganizationName(QStringLiteral("Kovax"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("parlix export: writes the SMS received between two days to a file.\n"
                       "Example: parlix export --from 2024-01-01 --to 2024-01-31 --format xlsx --out january.xlsx"));
    parser.addHelpOption();
    const QCommandLineOption database(
        QStringLiteral("database"),
        QStringLiteral("The database file, or postgresql://user@host:port/dbname with the password in "
                       "PGPASSWORD or ~/.pgpass (default: PARLIX_DATABASE, else the per-user Parlix.db)."),
        QStringLiteral("path"));
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("First day, from its first second."),
                                  QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("Last day, up to its last second."),
                                QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption fields(
        QStringLiteral("fields"),
        QStringLiteral("Any of number,message,datetime (default: all), always written in that order."),
        QStringLiteral("list"), QStringLiteral("number,message,datetime"));
    const QCommandLineOption format(QStringLiteral("format"), QStringLiteral("csv, xlsx or db (default: csv)."),
                                    QStringLiteral("format"), QStringLiteral("csv"));
    const QCommandLineOption delimiter(QStringLiteral("delimiter"),
                                       QStringLiteral("csv: one character, 'tab' or 'space' (default: ,)."),
                                       QStringLiteral("char"), QStringLiteral(","));
    const QCommandLineOption qualifier(QStringLiteral("qualifier"), QStringLiteral("csv: \", ' or none (default: \")."),
                                       QStringLiteral("char"), QStringLiteral("\""));
    const QCommandLineOption noHeader(QStringLiteral("no-header"), QStringLiteral("csv: no line of field names."));
    const QCommandLineOption encoding(QStringLiteral("encoding"),
                                      QStringLiteral("csv: utf-8 or windows-1252 (default: utf-8)."),
                                      QStringLiteral("name"), QStringLiteral("utf-8"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("The file to write."), QStringLiteral("file"));
    const QCommandLineOption force(QStringLiteral("force"), QStringLiteral("Replace the file when it exists."));
    parser.addOptions({database, from, to, fields, format, delimiter, qualifier, noHeader, encoding, out, force});
    parser.addPositionalArgument(QStringLiteral("export"), QStringLiteral("The command."));

    if (!parser.parse(QCoreApplication::arguments()))
        return complain(kBadArguments, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.positionalArguments().size() > 1)
        return complain(kBadArguments,
                        QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().at(1)));

    const std::optional<QDate> first = dayFrom(parser.value(from));
    const std::optional<QDate> last = dayFrom(parser.value(to));
    if (!first || !last)
        return complain(kBadArguments, QStringLiteral("--from and --to take a day as YYYY-MM-DD"));
    if (*first > *last)
        return complain(kBadArguments, QStringLiteral("--from is after --to"));
    if (parser.value(out).trimmed().isEmpty())
        return complain(kBadArguments, QStringLiteral("--out names no file"));

    ExportRequest request;
    request.from = first->startOfDay();
    request.to = QDateTime(*last, QTime(23, 59, 59));
    request.path = QFileInfo(parser.value(out).trimmed()).absoluteFilePath();
    request.text.includeFieldNames = !parser.isSet(noHeader);
    {
        const auto chosen = fieldsFrom(parser.value(fields));
        const auto kind = formatFrom(parser.value(format));
        const auto delim = delimiterFrom(parser.value(delimiter));
        const auto qual = qualifierFrom(parser.value(qualifier));
        const auto enc = encodingFrom(parser.value(encoding));
        for (const QString &error : {chosen.error(), kind.error(), delim.error(), qual.error(), enc.error()}) {
            if (!error.isEmpty())
                return complain(kBadArguments, error);
        }
        request.fields = chosen.value();
        request.format = kind.value();
        request.text.delimiter = delim.value();
        request.text.qualifier = qual.value();
        request.text.encoding = enc.value();
    }

    const QString shownPath = QDir::toNativeSeparators(request.path);
    if (QFileInfo::exists(request.path) && !parser.isSet(force))
        return complain(kFailed, QStringLiteral("%1 already exists (add --force to replace it)").arg(shownPath));

    QString dbPath = parser.value(database);
    if (dbPath.isEmpty())
        dbPath = qEnvironmentVariable("PARLIX_DATABASE");
    if (dbPath.isEmpty())
        dbPath = DbConnection::defaultPath();
    const auto conn = DbConnection::open(dbPath, DbConnection::Mode::ExistingOnly);
    if (!conn)
        return complain(kFailed, conn.error());

    // An empty range leaves no file behind.
    const auto count = InboxRepository(conn.value()->db())
                           .count(InboxQuery{false, {}, InboxSort::OldestFirst, request.from, request.to});
    if (!count)
        return complain(kFailed, count.error());
    if (count.value() == 0) {
        return complain(kFailed, QStringLiteral("no SMS received between %1 and %2; nothing written")
                                     .arg(first->toString(Qt::ISODate), last->toString(Qt::ISODate)));
    }

    const bool onTerminal = isatty(STDERR_FILENO) != 0;
    const std::atomic_bool never{false};
    const ExportOutcome outcome =
        runSmsExport(conn.value()->db(), request, never, [onTerminal](qint64 written, qint64 total) {
            if (onTerminal)
                std::fprintf(stderr, "\r%lld of %lld records exported", qlonglong(written), qlonglong(total));
        });
    if (onTerminal)
        std::fputc('\n', stderr);

    if (outcome.unencodable > 0) {
        std::fprintf(stderr, "parlix export: %lld characters have no place in Windows-1252 and were written as '?'\n",
                     qlonglong(outcome.unencodable));
    }
    switch (outcome.kind) {
    case ExportOutcome::Kind::Done:
        std::printf("%lld records exported to %s\n", qlonglong(outcome.written), qPrintable(shownPath));
        return 0;
    case ExportOutcome::Kind::NoRows:
        return complain(kFailed,
                        QStringLiteral("the SMS of the range were deleted meanwhile; %1 holds no rows").arg(shownPath));
    case ExportOutcome::Kind::Cancelled:
    case ExportOutcome::Kind::Failed:
        break;
    }
    if (outcome.written == 0)
        return complain(kFailed, outcome.error);
    return complain(kFailed, QStringLiteral("%1 (%2 records were written to %3 before it stopped)")
                                 .arg(outcome.error)
                                 .arg(outcome.written)
                                 .arg(shownPath));
}

} // namespace parlix
