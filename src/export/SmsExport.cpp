#include "export/SmsExport.h"

#include "modem/ModemCharset.h"
#include "store/InboxRepository.h"

#include <QAtomicInt>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

namespace parlix {

namespace {

constexpr int kPageRows = 2000;
constexpr lxw_row_t kSheetRows = 65535; // data rows under the header row of one sheet
constexpr int kDatabaseBatch = 10000;   // rows per transaction of the database file
constexpr qsizetype kTextBuffer = 1 << 16;
constexpr qint64 kProgressEveryMs = 50;

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

Status cannotWrite(const QString &path, const QString &why)
{
    return Status::failure(QStringLiteral("The file %1 cannot be written: %2").arg(native(path), why));
}

bool isBlank(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

// The values of one row, in the order of the chosen fields.
using RowValues = std::array<const QString *, 3>;

class RowWriter
{
public:
    virtual ~RowWriter() = default;
    // Replaces the file and writes what comes before the rows (field names, the table).
    virtual Status open(const QString &path, const QStringList &names) = 0;
    virtual Status write(const RowValues &values) = 0;
    // Keeps everything written so far, whatever ended the export.
    virtual Status close() = 0;
    virtual qint64 unencodable() const { return 0; }
};

class TextWriter final : public RowWriter
{
public:
    explicit TextWriter(TextExportOptions options)
        : m_options(std::move(options))
    {
    }

    Status open(const QString &path, const QStringList &names) override
    {
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return cannotWrite(path, m_file.errorString());
        m_count = int(names.size());
        m_pending.reserve(kTextBuffer + 1024);
        if (m_options.includeFieldNames)
            m_pending += names.join(m_options.delimiter) + QLatin1String("\r\n");
        return Status::success();
    }

    Status write(const RowValues &values) override
    {
        static const QString blank = QStringLiteral(" ");
        const QString &q = m_options.qualifier;
        for (int i = 0; i < m_count; ++i) {
            if (i > 0)
                m_pending += m_options.delimiter;
            m_pending += q;
            m_pending += ReplaceTextQualifier(q, values[size_t(i)]->isEmpty() ? blank : *values[size_t(i)]);
            m_pending += q;
        }
        m_pending += QLatin1String("\r\n");
        return m_pending.size() >= kTextBuffer ? flush() : Status::success();
    }

    Status close() override
    {
        Status s = flush();
        m_file.close();
        if (s && m_file.error() != QFileDevice::NoError)
            s = cannotWrite(m_file.fileName(), m_file.errorString());
        return s;
    }

    qint64 unencodable() const override { return m_unencodable; }

private:
    Status flush()
    {
        if (m_pending.isEmpty())
            return Status::success();
        QByteArray bytes;
        if (m_options.encoding == TextEncoding::Utf8) {
            bytes = m_pending.toUtf8();
        } else {
            bytes = encodeForModem(m_pending, ModemCharset::Ansi);
            // Every character without a place in the code page became one '?'.
            m_unencodable += bytes.count('?') - m_pending.count(QLatin1Char('?'));
        }
        m_pending.clear();
        if (m_file.write(bytes) != bytes.size())
            return cannotWrite(m_file.fileName(), m_file.errorString());
        return Status::success();
    }

    TextExportOptions m_options;
    QFile m_file;
    QString m_pending;
    int m_count = 0;
    qint64 m_unencodable = 0;
};

// Constant-memory mode keeps one row in memory and the rest in temporary files, so the
// workbook's size is bounded by the disk, not the memory.
class WorkbookWriter final : public RowWriter
{
public:
    ~WorkbookWriter() override
    {
        if (m_book != nullptr)
            workbook_close(m_book);
    }

    Status open(const QString &path, const QStringList &names) override
    {
        m_path = path;
        // The library opens the file only when the workbook is closed; find out now.
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return cannotWrite(path, probe.errorString());
        probe.close();
        for (const QString &name : names)
            m_names.append(name.toUtf8());
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        m_encodedPath = QFile::encodeName(path);
        m_book = workbook_new_opt(m_encodedPath.constData(), &options);
        if (m_book == nullptr)
            return cannotWrite(path, QStringLiteral("the workbook cannot be created."));
        return addSheet();
    }

    Status write(const RowValues &values) override
    {
        if (m_row > kSheetRows) {
            if (Status s = addSheet(); !s)
                return s;
        }
        for (int i = 0; i < int(m_names.size()); ++i) {
            m_cell = (QLatin1Char(' ') + *values[size_t(i)] + QLatin1Char(' ')).toUtf8();
            if (Status s = check(worksheet_write_string(m_sheet, m_row, lxw_col_t(i), m_cell.constData(), nullptr)); !s)
                return s;
        }
        ++m_row;
        return Status::success();
    }

    Status close() override
    {
        const lxw_error error = workbook_close(m_book);
        m_book = nullptr;
        return check(error);
    }

private:
    Status addSheet()
    {
        const QByteArray name = "Sheet" + QByteArray::number(++m_sheetNumber);
        m_sheet = workbook_add_worksheet(m_book, name.constData());
        if (m_sheet == nullptr)
            return cannotWrite(m_path, QStringLiteral("the sheet %1 cannot be added.").arg(QLatin1String(name)));
        for (int i = 0; i < int(m_names.size()); ++i) {
            if (Status s = check(worksheet_write_string(m_sheet, 0, lxw_col_t(i), m_names[i].constData(), nullptr)); !s)
                return s;
        }
        m_row = 1;
        return Status::success();
    }

    Status check(lxw_error error) const
    {
        if (error == LXW_NO_ERROR)
            return Status::success();
        return cannotWrite(m_path, QString::fromUtf8(lxw_strerror(error)));
    }

    QString m_path;
    QByteArray m_encodedPath;
    QList<QByteArray> m_names;
    lxw_workbook *m_book = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    int m_sheetNumber = 0;
    lxw_row_t m_row = 0;
    QByteArray m_cell;
};

class DatabaseWriter final : public RowWriter
{
public:
    DatabaseWriter()
    {
        static QAtomicInt counter;
        m_connection = QStringLiteral("parlix-export-%1").arg(counter.fetchAndAddRelaxed(1));
    }
    ~DatabaseWriter() override { release(); }

    Status open(const QString &path, const QStringList &names) override
    {
        m_path = path;
        if (QFileInfo::exists(path) && !QFile::remove(path)) {
            QFile file(path);
            return cannotWrite(path, file.open(QIODevice::WriteOnly) ? QStringLiteral("it cannot be replaced.")
                                                                     : file.errorString());
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return cannotWrite(path, file.errorString());
        file.close();

        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(path);
        if (!db.open())
            return failure(db.lastError());
        QStringList columns{QStringLiteral("\"ID\" INTEGER PRIMARY KEY")};
        QStringList marks{QStringLiteral("?")};
        for (const QString &name : names) {
            columns << QLatin1Char('"') + name + QLatin1String("\" TEXT");
            marks << QStringLiteral("?");
        }
        QSqlQuery q(db);
        // A half-written export is worth nothing after a crash, so the file is not synced.
        if (!q.exec(QStringLiteral("PRAGMA synchronous=OFF")) ||
            !q.exec(QStringLiteral("CREATE TABLE SMS_Details (%1)").arg(columns.join(QLatin1Char(',')))))
            return failure(q.lastError());
        m_insert.emplace(db);
        if (!m_insert->prepare(QStringLiteral("INSERT INTO SMS_Details VALUES (%1)").arg(marks.join(QLatin1Char(',')))))
            return failure(m_insert->lastError());
        m_count = int(names.size());
        return begin();
    }

    Status write(const RowValues &values) override
    {
        m_insert->bindValue(0, ++m_id);
        for (int i = 0; i < m_count; ++i) {
            const QString &v = *values[size_t(i)];
            m_insert->bindValue(i + 1, v.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(v));
        }
        if (!m_insert->exec())
            return failure(m_insert->lastError());
        if (++m_inBatch == kDatabaseBatch) {
            if (Status s = commit(); !s)
                return s;
            return begin();
        }
        return Status::success();
    }

    Status close() override
    {
        Status s = m_inBatch > 0 || m_inTransaction ? commit() : Status::success();
        release();
        return s;
    }

private:
    QSqlDatabase db() const { return QSqlDatabase::database(m_connection, false); }

    Status begin()
    {
        m_inBatch = 0;
        m_inTransaction = db().transaction();
        return m_inTransaction ? Status::success() : failure(db().lastError());
    }

    Status commit()
    {
        m_inTransaction = false;
        return db().commit() ? Status::success() : failure(db().lastError());
    }

    void release()
    {
        m_insert.reset();
        if (QSqlDatabase::contains(m_connection)) {
            {
                QSqlDatabase d = db();
                if (d.isOpen())
                    d.close();
            }
            QSqlDatabase::removeDatabase(m_connection);
        }
    }

    Status failure(const QSqlError &error) const
    {
        return cannotWrite(m_path, error.databaseText().isEmpty() ? error.text() : error.databaseText());
    }

    QString m_connection;
    QString m_path;
    std::optional<QSqlQuery> m_insert;
    int m_count = 0;
    qint64 m_id = 0;
    int m_inBatch = 0;
    bool m_inTransaction = false;
};

std::unique_ptr<RowWriter> writerFor(const ExportRequest &request)
{
    switch (request.format) {
    case ExportFormat::Workbook:
        return std::make_unique<WorkbookWriter>();
    case ExportFormat::Database:
        return std::make_unique<DatabaseWriter>();
    case ExportFormat::Text:
        break;
    }
    return std::make_unique<TextWriter>(request.text);
}

ExportOutcome failed(QString error, qint64 written = 0)
{
    return {ExportOutcome::Kind::Failed, written, 0, std::move(error)};
}

} // namespace

QString exportColumnName(ExportField field)
{
    switch (field) {
    case ExportField::SenderMobileNo:
        return QStringLiteral("SenderMobileNo");
    case ExportField::Message:
        return QStringLiteral("Message");
    case ExportField::InboxDateTime:
        break;
    }
    return QStringLiteral("InboxDateTime");
}

const QList<ExportField> &allExportFields()
{
    static const QList<ExportField> fields{ExportField::SenderMobileNo, ExportField::Message,
                                           ExportField::InboxDateTime};
    return fields;
}

QString exportExtension(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Workbook:
        return QStringLiteral(".xlsx");
    case ExportFormat::Database:
        return QStringLiteral(".db");
    case ExportFormat::Text:
        break;
    }
    return QStringLiteral(".csv");
}

bool hasExportExtension(const QString &path, ExportFormat format)
{
    return path.trimmed().endsWith(exportExtension(format), Qt::CaseInsensitive);
}

QString ReplaceTextQualifier(const QString &textQ, const QString &stringToReplace)
{
    if (isBlank(stringToReplace))
        return QString();
    if (isBlank(textQ) || !stringToReplace.contains(textQ))
        return stringToReplace;
    QString out = stringToReplace;
    return out.replace(textQ, textQ + textQ);
}

Status createExportTarget(const QString &path, ExportFormat format)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return cannotWrite(path, file.exists() ? QStringLiteral("it already exists.") : file.errorString());
    file.close();
    if (format != ExportFormat::Workbook)
        return Status::success(); // an empty file is an empty SQLite database too
    lxw_workbook *book = workbook_new(QFile::encodeName(path).constData());
    if (book == nullptr || workbook_add_worksheet(book, "Sheet1") == nullptr) {
        if (book != nullptr)
            workbook_close(book);
        return cannotWrite(path, QStringLiteral("the workbook cannot be created."));
    }
    const lxw_error error = workbook_close(book);
    return error == LXW_NO_ERROR ? Status::success() : cannotWrite(path, QString::fromUtf8(lxw_strerror(error)));
}

ExportOutcome runSmsExport(const QSqlDatabase &db, const ExportRequest &request, const std::atomic_bool &cancel,
                           const ExportProgress &progress)
{
    QList<ExportField> fields;
    QStringList names;
    for (const ExportField field : allExportFields()) {
        if (request.fields.contains(field)) {
            fields << field;
            names << exportColumnName(field);
        }
    }
    if (fields.isEmpty())
        return failed(QStringLiteral("Please Select at least one field for export."));

    InboxRepository inbox(db);
    const Result<qint64> total = inbox.count(InboxQuery{false, {}, InboxSort::OldestFirst, request.from, request.to});
    if (!total)
        return failed(total.error());

    const std::unique_ptr<RowWriter> writer = writerFor(request);
    if (Status s = writer->open(request.path, names); !s)
        return failed(s.error);

    ExportOutcome outcome;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    std::optional<InboxExportKey> after;
    bool more = true;
    while (more && outcome.kind == ExportOutcome::Kind::Done) {
        const auto page = inbox.receivedPage(request.from, request.to, after, kPageRows);
        if (!page) {
            outcome = failed(page.error(), outcome.written);
            break;
        }
        more = page->size() == kPageRows;
        for (const InboxExportRow &row : page.value()) {
            if (cancel.load(std::memory_order_relaxed)) {
                outcome.kind = ExportOutcome::Kind::Cancelled;
                break;
            }
            RowValues values{};
            for (int i = 0; i < int(fields.size()); ++i) {
                switch (fields[i]) {
                case ExportField::SenderMobileNo:
                    values[size_t(i)] = &row.senderMobileNo;
                    break;
                case ExportField::Message:
                    values[size_t(i)] = &row.message;
                    break;
                case ExportField::InboxDateTime:
                    values[size_t(i)] = &row.inboxDateTime;
                    break;
                }
            }
            if (Status s = writer->write(values); !s) {
                outcome = failed(s.error, outcome.written);
                break;
            }
            ++outcome.written;
            if (progress && (outcome.written == 1 || sinceProgress.elapsed() >= kProgressEveryMs)) {
                progress(outcome.written, total.value());
                sinceProgress.restart();
            }
        }
        if (!page->isEmpty())
            after = InboxExportKey{page->constLast().inboxDateTime, page->constLast().id};
    }

    const Status closed = writer->close();
    if (!closed && outcome.kind != ExportOutcome::Kind::Failed)
        outcome = failed(closed.error, outcome.written);
    outcome.unencodable = writer->unencodable();
    if (outcome.kind == ExportOutcome::Kind::Done && outcome.written == 0)
        outcome.kind = ExportOutcome::Kind::NoRows;
    if (progress)
        progress(outcome.written, total.value());
    return outcome;
}

} // namespace parlix
