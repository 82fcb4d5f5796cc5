// The export read back by readers that share no code with it: the text file byte for byte,
// the workbook through openpyxl, the database file through the sqlite3 shell; and the
// `parlix export` command as a script would run it.
#include "export/SmsExport.h"
#include "store/InboxRepository.h"
#include "support/QtPrinters.h"
#include "support/TempDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace parlix::test {
namespace {

const QDate kDay(2026, 3, 14);

QDateTime at(const QString &time, int dayOffset = 0)
{
    return QDateTime(kDay.addDays(dayOffset), QTime::fromString(time, "HH:mm:ss"));
}

struct ProcessRun
{
    int exitCode = -1;
    QString out;
};

ProcessRun runProcess(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000))
        return {-1, program + QStringLiteral(" did not run: ") + p.errorString()};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

class ExportTest : public ::testing::Test
{
protected:
    QString file(const QString &name) const { return QDir(db.dir()).filePath(name); }

    void addRow(const QString &sender, const QString &message, const QDateTime &when)
    {
        ASSERT_TRUE(InboxRepository(db.db()).insert(sender, message, when));
    }

    // count rows, one second apart from the start of the day, numbered from 1.
    void addRows(int count)
    {
        db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<?) "
                "INSERT INTO Message_InBox (SenderMobileNo,SenderId,Message,InboxDateTime,IsRead) "
                "SELECT 'n' || i, 0, 'm' || i, strftime('%Y-%m-%d %H:%M:%S', ?, '+' || i || ' seconds'), 0 "
                "FROM n",
                {count, kDay.startOfDay().toString("yyyy-MM-dd HH:mm:ss")});
    }

    ExportRequest request(ExportFormat format, const QString &name, QList<ExportField> fields = allExportFields()) const
    {
        ExportRequest r;
        r.from = kDay.startOfDay();
        r.to = QDateTime(kDay.addDays(1), QTime(23, 59, 59));
        r.fields = std::move(fields);
        r.format = format;
        r.path = file(name);
        return r;
    }

    ExportOutcome exportNow(const ExportRequest &r)
    {
        const std::atomic_bool never{false};
        return runSmsExport(db.db(), r, never);
    }

    // Per sheet: "name;rows;header;first row;last row", the cells of a row joined by '|'.
    QStringList readWorkbook(const QString &path) const
    {
        const QString script =
            "import sys, openpyxl\n"
            "for ws in openpyxl.load_workbook(sys.argv[1], read_only=True).worksheets:\n"
            "    rows = [list(r) for r in ws.iter_rows(values_only=True)]\n"
            "    print(ws.title, len(rows), *('|'.join(map(str, r)) for r in (rows[0], rows[1], rows[-1])), sep=';')\n";
        const ProcessRun r = runProcess("/usr/bin/python3", {"-c", script, path});
        EXPECT_EQ(r.exitCode, 0) << "openpyxl could not read the workbook (is python3-openpyxl installed?) "
                                 << r.out.toStdString();
        return r.out.split('\n', Qt::SkipEmptyParts);
    }

    QString sqlite(const QString &path, const QString &sql) const
    {
        const ProcessRun r = runProcess("sqlite3", {"-separator", "|", path, sql});
        EXPECT_EQ(r.exitCode, 0) << "the sqlite3 shell failed: " << r.out.toStdString();
        return r.out.trimmed();
    }

    TempDatabase db;
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

struct TextCase
{
    const char *name;
    QList<ExportField> fields;
    TextExportOptions options;
    QByteArray expected;
};

TEST_F(ExportTest, TextFilesByteForByte)
{
    // Outside the range by one second on either side.
    addRow("000", "before", at("23:59:59", -1));
    addRow("999", "after", at("00:00:00", 2));
    addRow("+4412", "say \"hi\", it's me", at("00:00:00"));
    addRow("555", QString(), at("23:59:59", 1));
    addRow("556", "caf\u00e9 \u20ac5\nline two", at("12:00:00", 1));

    using F = ExportField;
    const TextCase cases[] = {
        {"header, comma, double quotes",
         allExportFields(),
         {},
         "SenderMobileNo,Message,InboxDateTime\r\n"
         "\"+4412\",\"say \"\"hi\"\", it's me\",\"2026-03-14 00:00:00\"\r\n"
         "\"556\",\"caf\xc3\xa9 \xe2\x82\xac"
         "5\nline two\",\"2026-03-15 12:00:00\"\r\n"
         "\"555\",\"\",\"2026-03-15 23:59:59\"\r\n"},
        {"no qualifier keeps a delimiter inside a value",
         {F::Message, F::SenderMobileNo},
         {true, ",", QString(), TextEncoding::Utf8},
         "SenderMobileNo,Message\r\n"
         "+4412,say \"hi\", it's me\r\n"
         "556,caf\xc3\xa9 \xe2\x82\xac"
         "5\nline two\r\n"
         "555,\r\n"},
        {"tab, apostrophes, no header, one field",
         {F::Message},
         {false, "\t", "'", TextEncoding::Utf8},
         "'say \"hi\", it''s me'\r\n"
         "'caf\xc3\xa9 \xe2\x82\xac"
         "5\nline two'\r\n"
         "''\r\n"},
        {"Windows-1252",
         {F::SenderMobileNo, F::Message},
         {false, ";", "\"", TextEncoding::Windows1252},
         "\"+4412\";\"say \"\"hi\"\", it's me\"\r\n"
         "\"556\";\"caf\xe9 \x80"
         "5\nline two\"\r\n"
         "\"555\";\"\"\r\n"},
    };
    for (const TextCase &c : cases) {
        SCOPED_TRACE(c.name);
        ExportRequest r = request(ExportFormat::Text, "out.csv", c.fields);
        r.text = c.options;
        const ExportOutcome outcome = exportNow(r);
        EXPECT_EQ(outcome.kind, ExportOutcome::Kind::Done) << outcome.error.toStdString();
        EXPECT_EQ(outcome.written, 3);
        EXPECT_EQ(readAll(r.path), c.expected);
    }

    // A character the code page cannot hold is written as '?' and counted.
    addRow("557", "\u041f\u0440\u0438?", at("12:00:01", 1));
    ExportRequest r = request(ExportFormat::Text, "ansi.csv", {F::Message});
    r.text = {false, ",", QString(), TextEncoding::Windows1252};
    const ExportOutcome outcome = exportNow(r);
    EXPECT_EQ(outcome.unencodable, 3);
    EXPECT_TRUE(readAll(r.path).contains("\r\n????\r\n"));
}

TEST_F(ExportTest, WorkbookSheetsOf65535RowsReadByOpenpyxl)
{
    addRows(70000);
    const ExportRequest r = request(ExportFormat::Workbook, "out.xlsx");
    ASSERT_EQ(exportNow(r).written, 70000);
    EXPECT_EQ(
        readWorkbook(r.path),
        (QStringList{"Sheet1;65536;SenderMobileNo|Message|InboxDateTime; n1 | m1 | 2026-03-14 00:00:01 ; n65535 | "
                     "m65535 | 2026-03-14 18:12:15 ",
                     "Sheet2;4466;SenderMobileNo|Message|InboxDateTime; n65536 | m65536 | 2026-03-14 18:12:16 ; "
                     "n70000 | m70000 | 2026-03-14 19:26:40 "}));

    // Exactly one sheet's worth, and a single chosen field.
    db.exec("DELETE FROM Message_InBox WHERE InBox_Id>65535");
    const ExportRequest one = request(ExportFormat::Workbook, "one.xlsx", {ExportField::Message});
    ASSERT_EQ(exportNow(one).written, 65535);
    EXPECT_EQ(readWorkbook(one.path), QStringList{"Sheet1;65536;Message; m1 ; m65535 "});
}

TEST_F(ExportTest, DatabaseFilesReadBySqliteShell)
{
    addRow("111", "one 'quoted'", at("08:00:00"));
    addRow("222", QString(), at("09:00:00"));
    addRow("333", "three", at("10:00:00"));

    const ExportRequest all = request(ExportFormat::Database, "all.db");
    ASSERT_TRUE(createExportTarget(all.path, all.format));
    ASSERT_EQ(exportNow(all).written, 3);
    EXPECT_EQ(sqlite(all.path, "SELECT ID, SenderMobileNo, Message, typeof(Message), InboxDateTime "
                               "FROM SMS_Details ORDER BY ID"),
              "1|111|one 'quoted'|text|2026-03-14 08:00:00\n"
              "2|222||null|2026-03-14 09:00:00\n"
              "3|333|three|text|2026-03-14 10:00:00");

    const ExportRequest message = request(ExportFormat::Database, "message.db", {ExportField::Message});
    ASSERT_EQ(exportNow(message).written, 3);
    EXPECT_EQ(sqlite(message.path, "SELECT group_concat(name, ',') FROM pragma_table_info('SMS_Details')"),
              "ID,Message");

    // Pages of rows with equal times neither repeat nor skip a row.
    addRows(4500);
    db.exec("UPDATE Message_InBox SET InboxDateTime='2026-03-14 12:00:00'");
    const ExportRequest ties = request(ExportFormat::Database, "ties.db", {ExportField::SenderMobileNo});
    ASSERT_EQ(exportNow(ties).written, 4503);
    EXPECT_EQ(sqlite(ties.path, "SELECT count(DISTINCT SenderMobileNo), max(ID) FROM SMS_Details"), "4503|4503");
}

TEST_F(ExportTest, CancelAndFailureKeepTheRowsWrittenSoFar)
{
    addRows(5000);
    std::atomic_bool cancel{false};
    ExportRequest r = request(ExportFormat::Text, "part.csv", {ExportField::SenderMobileNo});
    r.text.qualifier.clear();
    const ExportOutcome cancelled = runSmsExport(db.db(), r, cancel, [&](qint64 written, qint64) {
        if (written > 0)
            cancel = true;
    });
    ASSERT_EQ(cancelled.kind, ExportOutcome::Kind::Cancelled);
    const QList<QByteArray> lines = readAll(r.path).split('\n');
    ASSERT_EQ(lines.size(), cancelled.written + 2); // header, rows, the empty piece after the last break
    EXPECT_EQ(lines[1], "n1\r");
    EXPECT_EQ(lines[cancelled.written], "n" + QByteArray::number(cancelled.written) + "\r");

    r.path = file("no-such-folder/out.csv");
    const ExportOutcome failed = exportNow(r);
    EXPECT_EQ(failed.kind, ExportOutcome::Kind::Failed);
    EXPECT_TRUE(failed.error.contains(r.path)) << failed.error.toStdString();

    db.exec("DELETE FROM Message_InBox");
    r.path = file("empty.csv");
    EXPECT_EQ(exportNow(r).kind, ExportOutcome::Kind::NoRows);
    EXPECT_EQ(readAll(r.path), "SenderMobileNo\r\n");
}

TEST_F(ExportTest, CommandLine)
{
    const QString parlix = QStringLiteral(PARLIX_BINARY_DIR "/bin/parlix");
    addRow("111", "a,b", at("00:00:00"));
    addRow("222", "c", at("23:59:59"));
    addRow("333", "next day", at("00:00:00", 1));
    const QString out = file("cli.csv");
    const QStringList base{"export", "--database", db.path(), "--from", "2026-03-14", "--to", "2026-03-14"};
    const QStringList ok =
        base + QStringList{"--fields", "datetime,number", "--delimiter", "tab", "--qualifier", "none", "--out", out};
    const struct
    {
        const char *name;
        QStringList args;
        int exitCode;
        const char *says;
    } cases[] = {
        {"written", ok, 0, "2 records exported"},
        {"existing file", ok, 1, "already exists"},
        {"forced", ok + QStringList{"--force"}, 0, "2 records exported"},
        {"unknown format", base + QStringList{"--format", "mdb", "--out", file("x")}, 2, "unknown format"},
        {"bad day",
         QStringList(base).replaceInStrings("2026-03-14", "14/03/2026") + QStringList{"--out", file("y.csv")}, 2,
         "YYYY-MM-DD"},
        {"long delimiter", base + QStringList{"--delimiter", ";;", "--out", file("z.csv")}, 2, "one character"},
        {"empty range",
         QStringList(base).replaceInStrings("2026-03-14", "2026-03-01") + QStringList{"--out", file("empty.csv")}, 1,
         "nothing written"},
        {"unwritable path", base + QStringList{"--out", file("missing/dir/a.csv")}, 1, "cannot be written"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessRun r = runProcess(parlix, c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QLatin1String(c.says))) << r.out.toStdString();
    }
    EXPECT_EQ(readAll(out),
              "SenderMobileNo\tInboxDateTime\r\n111\t2026-03-14 00:00:00\r\n222\t2026-03-14 23:59:59\r\n");
    EXPECT_FALSE(QFile::exists(file("empty.csv")));
}

} // namespace
} // namespace parlix::test
