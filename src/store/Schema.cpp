#include "store/Schema.h"

#include "store/Query.h"
#include "store/SqlDialect.h"
#include "store/StationRepository.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <cstring>
#include <span>

namespace parlix::schema {

namespace {

// Yes/no columns hold 1 or 0; dates hold 'yyyy-MM-dd HH:mm:ss' local time; "number" columns
// use NUMERIC affinity so a value keeps the type it was written with, as the loaders expect.
const char *const kVersion1[] = {
    R"(CREATE TABLE Message_InBox (
        InBox_Id INTEGER PRIMARY KEY AUTOINCREMENT,
        SenderMobileNo TEXT,
        SenderId NUMERIC,
        Message TEXT,
        InboxDateTime TEXT,
        IsRead INTEGER NOT NULL DEFAULT 0))",
    "CREATE INDEX ix_inbox_unread ON Message_InBox(IsRead)",
    "CREATE INDEX ix_inbox_date ON Message_InBox(InboxDateTime)",
    "CREATE INDEX ix_inbox_sender10 ON Message_InBox(substr(SenderMobileNo,-10))",

    R"(CREATE TABLE Message_OutBox (
        Outbox_Id INTEGER PRIMARY KEY AUTOINCREMENT,
        RecepId NUMERIC,
        RecipientMobileNo TEXT,
        Message TEXT,
        OutBoxDateTime TEXT,
        DeliveryDatetime TEXT,
        DeliveryStatus TEXT,
        SMSFromName TEXT))",
    "CREATE INDEX ix_outbox_delivery ON Message_OutBox(DeliveryDatetime)",
    "CREATE INDEX ix_outbox_recipient10 ON Message_OutBox(substr(RecipientMobileNo,-10))",

    R"(CREATE TABLE MissedCallStatistics (
        id INTEGER PRIMARY KEY AUTOINCREMENT,
        callDateTime TEXT,
        callerNumber TEXT,
        IsMissCall INTEGER NOT NULL DEFAULT 0))",
    "CREATE INDEX ix_calls_date ON MissedCallStatistics(callDateTime, IsMissCall)",

    R"(CREATE TABLE SMS_AutoReply (
        CommandId INTEGER PRIMARY KEY AUTOINCREMENT,
        SMS_Command TEXT,
        SMS_Reply TEXT))",
    "CREATE TABLE SMS_AutoReplySettings (SendAutoReply INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE AutoReply_OnMissedCall (Message TEXT, IsActive INTEGER NOT NULL DEFAULT 0)",

    R"(CREATE TABLE ModemSettings (
        CommPortNo TEXT,
        BitsPerSecond NUMERIC,
        DataBits NUMERIC,
        Parity TEXT,
        StopBits TEXT,
        FlowControl TEXT,
        CharacterSet TEXT,
        EnabledCallerId INTEGER NOT NULL DEFAULT 0,
        ModemDelayFactor NUMERIC))",

    R"(CREATE TABLE Timer_Setting (
        ReceiveAllMessagesTime NUMERIC,
        SendAllMessagesTime NUMERIC,
        EnableReceiveTimer INTEGER NOT NULL DEFAULT 0,
        EnableSendTimer INTEGER NOT NULL DEFAULT 0,
        SMSDeliveryMedia TEXT,
        MixModeMobileNumbers TEXT,
        MixModeDeliveryMedia TEXT,
        SIMCardDeliveryMode TEXT,
        SMSSMTPFromName TEXT,
        SMSSMTPYourEmailAddress TEXT,
        SMSSMTPServer TEXT,
        SMSSMTPPort NUMERIC,
        SMSSMTPEmailPostfix TEXT,
        IsFromNameSentByMaskingYourEmail INTEGER NOT NULL DEFAULT 0,
        IsSMSSMTPAuthenticationRequired INTEGER NOT NULL DEFAULT 0,
        SMSSMTPUserName TEXT,
        SMSSMTPPassword TEXT,
        SMSSMTPAuthenticationType NUMERIC,
        SMSSMTPEncodeType NUMERIC))",

    R"(CREATE TABLE WebMailToSMS_POP3Settings (
        POP3MailServer TEXT,
        POP3Port NUMERIC,
        POP3UserName TEXT,
        POP3Password TEXT,
        EmailCheckInterval NUMERIC,
        IsEnabled INTEGER))",

    R"(CREATE TABLE WebMailToSMS_MessagesReceived (
        id INTEGER PRIMARY KEY AUTOINCREMENT,
        EmailFromName TEXT,
        EmailFromAddress TEXT,
        EmailSubject TEXT,
        EmailDateTime TEXT,
        EmailContentType TEXT,
        EmailTextMessage TEXT,
        MessageReceivedOn TEXT,
        IsEmailSentToSMS INTEGER NOT NULL DEFAULT 0,
        ReasonForNotSendingSMS TEXT))",
    "CREATE INDEX ix_webmail_received ON WebMailToSMS_MessagesReceived(MessageReceivedOn)",
    "CREATE INDEX ix_webmail_date ON WebMailToSMS_MessagesReceived(EmailDateTime)",
    // Mailbox UIDLs already turned into SMS, so a mail whose DELE was lost is never charged twice.
    R"(CREATE TABLE WebMailToSMS_ProcessedUidl (
        Uidl TEXT PRIMARY KEY,
        MessagesReceivedId INTEGER,
        ProcessedOn TEXT))",

    R"(CREATE TABLE SMS_UserAccounts (
        UserId INTEGER PRIMARY KEY AUTOINCREMENT,
        SMSUserName TEXT,
        SMSPassword TEXT,
        SMSFromName TEXT,
        SMSBalanceCredits NUMERIC,
        SMSBalanceCreditsUpdatedOn TEXT))",
    "CREATE INDEX ix_accounts_name ON SMS_UserAccounts(SMSUserName)",

    R"(CREATE TABLE Country (
        CountryId INTEGER PRIMARY KEY AUTOINCREMENT,
        CountryName TEXT,
        CountryCode TEXT,
        IsDefault INTEGER NOT NULL DEFAULT 0))",

    R"(CREATE TABLE State (
        StateId INTEGER PRIMARY KEY AUTOINCREMENT,
        StateName TEXT,
        CountryId INTEGER))",
    R"(CREATE TABLE UserDetails (
        UserId INTEGER PRIMARY KEY AUTOINCREMENT,
        Mobile1 TEXT,
        Mobile2 TEXT,
        CountryId INTEGER))",
    "CREATE INDEX ix_userdetails_mobile1 ON UserDetails(substr(Mobile1,-10))",
    "CREATE INDEX ix_userdetails_mobile2 ON UserDetails(substr(Mobile2,-10))",

    // SIM messages already stored in the inbox, so a message whose delete from the SIM failed
    // is not stored a second time by the next pass.
    R"(CREATE TABLE SIM_StoredMessages (
        MessageKey TEXT PRIMARY KEY,
        InBox_Id INTEGER,
        StoredOn TEXT))",

    R"(INSERT INTO Timer_Setting (ReceiveAllMessagesTime, SendAllMessagesTime, EnableReceiveTimer,
        EnableSendTimer, SMSDeliveryMedia, SIMCardDeliveryMode)
        VALUES (10, 10, 1, 1, 'MODEM', 'DIRECT DELIVER'))",
};

// The message box lists the unread inbox newest first, page by page; this index serves that
// order directly instead of walking every message by date to find the unread ones.
const char *const kVersion2[] = {
    "CREATE INDEX ix_inbox_unread_date ON Message_InBox(IsRead, InboxDateTime)",
};

// Trigram indexes of the phone numbers, so that a search by a part of a number stays fast on a
// large inbox or outbox. On SQLite they are FTS5 tables holding only the number column and
// following the table by triggers; PostgreSQL has trigram indexes of its own (pg_trgm).
const char *const kVersion3Sqlite[] = {
    "CREATE VIRTUAL TABLE Message_InBox_Numbers USING fts5(SenderMobileNo, content='Message_InBox', "
    "content_rowid='InBox_Id', tokenize='trigram')",
    "CREATE TRIGGER Message_InBox_Numbers_ai AFTER INSERT ON Message_InBox BEGIN "
    "INSERT INTO Message_InBox_Numbers(rowid, SenderMobileNo) VALUES (new.InBox_Id, new.SenderMobileNo); END",
    "CREATE TRIGGER Message_InBox_Numbers_ad AFTER DELETE ON Message_InBox BEGIN "
    "INSERT INTO Message_InBox_Numbers(Message_InBox_Numbers, rowid, SenderMobileNo) "
    "VALUES ('delete', old.InBox_Id, old.SenderMobileNo); END",
    "CREATE TRIGGER Message_InBox_Numbers_au AFTER UPDATE OF SenderMobileNo ON Message_InBox BEGIN "
    "INSERT INTO Message_InBox_Numbers(Message_InBox_Numbers, rowid, SenderMobileNo) "
    "VALUES ('delete', old.InBox_Id, old.SenderMobileNo); "
    "INSERT INTO Message_InBox_Numbers(rowid, SenderMobileNo) VALUES (new.InBox_Id, new.SenderMobileNo); END",
    "INSERT INTO Message_InBox_Numbers(Message_InBox_Numbers) VALUES ('rebuild')",

    "CREATE VIRTUAL TABLE Message_OutBox_Numbers USING fts5(RecipientMobileNo, content='Message_OutBox', "
    "content_rowid='Outbox_Id', tokenize='trigram')",
    "CREATE TRIGGER Message_OutBox_Numbers_ai AFTER INSERT ON Message_OutBox BEGIN "
    "INSERT INTO Message_OutBox_Numbers(rowid, RecipientMobileNo) VALUES (new.Outbox_Id, new.RecipientMobileNo); END",
    "CREATE TRIGGER Message_OutBox_Numbers_ad AFTER DELETE ON Message_OutBox BEGIN "
    "INSERT INTO Message_OutBox_Numbers(Message_OutBox_Numbers, rowid, RecipientMobileNo) "
    "VALUES ('delete', old.Outbox_Id, old.RecipientMobileNo); END",
    "CREATE TRIGGER Message_OutBox_Numbers_au AFTER UPDATE OF RecipientMobileNo ON Message_OutBox BEGIN "
    "INSERT INTO Message_OutBox_Numbers(Message_OutBox_Numbers, rowid, RecipientMobileNo) "
    "VALUES ('delete', old.Outbox_Id, old.RecipientMobileNo); "
    "INSERT INTO Message_OutBox_Numbers(rowid, RecipientMobileNo) VALUES (new.Outbox_Id, new.RecipientMobileNo); END",
    "INSERT INTO Message_OutBox_Numbers(Message_OutBox_Numbers) VALUES ('rebuild')",
};
const char *const kVersion3Postgres[] = {
    "CREATE EXTENSION IF NOT EXISTS pg_trgm",
    "CREATE INDEX ix_inbox_sender_trgm ON Message_InBox USING gin (SenderMobileNo gin_trgm_ops)",
    "CREATE INDEX ix_outbox_recipient_trgm ON Message_OutBox USING gin (RecipientMobileNo gin_trgm_ops)",
};

// The operator's permission to send the SMTP (or POP-before-SMTP) password over a link without
// TLS, for providers that take a plain login; off unless the operator turns it on.
const char *const kVersion4[] = {
    "ALTER TABLE Timer_Setting ADD COLUMN IsSMTPClearTextLoginAllowed INTEGER NOT NULL DEFAULT 0",
};

// Messages in the modem's PDU format: Unicode and long (concatenated) SMS, delivery reports.
// A settings row written without naming the format means PDU; databases that already hold a
// modem row keep the text format they were set up with.
const char *const kVersion5[] = {
    "ALTER TABLE ModemSettings ADD COLUMN SMSFormat TEXT NOT NULL DEFAULT 'PDU'",
    "UPDATE ModemSettings SET SMSFormat='TEXT'",
    "ALTER TABLE ModemSettings ADD COLUMN IsDeliveryReportRequested INTEGER NOT NULL DEFAULT 0",
    // Hours a received part waits for its siblings before it is stored on its own.
    "ALTER TABLE ModemSettings ADD COLUMN PartsWaitHours NUMERIC NOT NULL DEFAULT 24",
    "ALTER TABLE Message_OutBox ADD COLUMN ReportStatus TEXT",
    "ALTER TABLE Message_OutBox ADD COLUMN ReportDatetime TEXT",
    // Each part of an outgoing SMS the modem confirmed (or is about to send), so a retry after a
    // failure or a restart sends only the parts that never went out, under the same reference.
    R"(CREATE TABLE Message_OutBox_Parts (
        Outbox_Id INTEGER NOT NULL REFERENCES Message_OutBox(Outbox_Id) ON DELETE CASCADE,
        PartNo INTEGER NOT NULL,
        PartCount INTEGER NOT NULL,
        ConcatRef INTEGER NOT NULL,
        MessageRef INTEGER,
        IsConfirmed INTEGER NOT NULL DEFAULT 0,
        ConfirmedOn TEXT,
        ReportStatus INTEGER,
        ReportDatetime TEXT,
        PRIMARY KEY (Outbox_Id, PartNo)))",
    "CREATE INDEX ix_outbox_parts_ref ON Message_OutBox_Parts(MessageRef)",
    // Parts of a received long SMS, kept until the last one arrives (or the wait runs out).
    R"(CREATE TABLE Message_InBox_Parts (
        SenderMobileNo TEXT NOT NULL,
        ConcatRef INTEGER NOT NULL,
        PartCount INTEGER NOT NULL,
        PartNo INTEGER NOT NULL,
        Message TEXT,
        ReceivedOn TEXT,
        PRIMARY KEY (SenderMobileNo, ConcatRef, PartCount, PartNo)))",
    "CREATE INDEX ix_inbox_parts_received ON Message_InBox_Parts(ReceivedOn)",
};

// The webmail inbox viewer finds emails by a part of the sender's address and by the SMS user
// name written after the <smsusername> tag, over any span of dates. Both searches go through
// trigram indexes kept in step by triggers. The user-name index holds, per email, the tag and
// the 64 characters after its first occurrence, and the whole text from a second occurrence
// on (rare): every email whose text holds the tag followed by a name is found by looking up the
// name's first 64 characters there; the text itself then decides.
//
// The step can run again over its own result (the indexes are then built afresh). On
// PostgreSQL, trigram indexes on the two columns serve the same searches.
// USER_NAME_TAGS gives the rows of that index (key, tags) for the emails of source.
#define USER_NAME_TAGS(key, text, source)                                                                              \
    "SELECT k, '<smsusername>' || substr(rest, 1, 64) || CASE WHEN instr(lower(rest), '<smsusername>') > 0 "           \
    "THEN char(10) || substr(rest, instr(lower(rest), '<smsusername>')) ELSE '' END "                                  \
    "FROM (SELECT " key " AS k, substr(" text ", instr(lower(" text "), '<smsusername>') + 13) AS rest " source        \
    " WHERE instr(lower(" text "), '<smsusername>') > 0)"
const char *const kVersion6[] = {
    "CREATE INDEX IF NOT EXISTS ix_webmail_sent_date "
    "ON WebMailToSMS_MessagesReceived(IsEmailSentToSMS, EmailDateTime)",
};
const char *const kVersion6Sqlite[] = {
    "CREATE VIRTUAL TABLE IF NOT EXISTS WebMailToSMS_Senders USING fts5(EmailFromAddress, "
    "content='WebMailToSMS_MessagesReceived', content_rowid='id', tokenize='trigram')",
    "CREATE TRIGGER IF NOT EXISTS WebMailToSMS_Senders_ai AFTER INSERT ON WebMailToSMS_MessagesReceived BEGIN "
    "INSERT INTO WebMailToSMS_Senders(rowid, EmailFromAddress) VALUES (new.id, new.EmailFromAddress); END",
    "CREATE TRIGGER IF NOT EXISTS WebMailToSMS_Senders_ad AFTER DELETE ON WebMailToSMS_MessagesReceived BEGIN "
    "INSERT INTO WebMailToSMS_Senders(WebMailToSMS_Senders, rowid, EmailFromAddress) "
    "VALUES ('delete', old.id, old.EmailFromAddress); END",
    "CREATE TRIGGER IF NOT EXISTS WebMailToSMS_Senders_au AFTER UPDATE OF EmailFromAddress "
    "ON WebMailToSMS_MessagesReceived BEGIN "
    "INSERT INTO WebMailToSMS_Senders(WebMailToSMS_Senders, rowid, EmailFromAddress) "
    "VALUES ('delete', old.id, old.EmailFromAddress); "
    "INSERT INTO WebMailToSMS_Senders(rowid, EmailFromAddress) VALUES (new.id, new.EmailFromAddress); END",
    "INSERT INTO WebMailToSMS_Senders(WebMailToSMS_Senders) VALUES ('rebuild')",

    "CREATE VIRTUAL TABLE IF NOT EXISTS WebMailToSMS_UserNameTags USING fts5(Tags, tokenize='trigram')",
    "CREATE TRIGGER IF NOT EXISTS WebMailToSMS_UserNameTags_ai AFTER INSERT ON WebMailToSMS_MessagesReceived BEGIN "
    "INSERT INTO WebMailToSMS_UserNameTags(rowid, Tags) " USER_NAME_TAGS("new.id", "new.EmailTextMessage", "") "; END",
    "CREATE TRIGGER IF NOT EXISTS WebMailToSMS_UserNameTags_ad AFTER DELETE ON WebMailToSMS_MessagesReceived BEGIN "
    "DELETE FROM WebMailToSMS_UserNameTags WHERE rowid=old.id; END",
    "CREATE TRIGGER IF NOT EXISTS WebMailToSMS_UserNameTags_au AFTER UPDATE OF EmailTextMessage "
    "ON WebMailToSMS_MessagesReceived BEGIN DELETE FROM WebMailToSMS_UserNameTags WHERE rowid=old.id; "
    "INSERT INTO WebMailToSMS_UserNameTags(rowid, Tags) " USER_NAME_TAGS("new.id", "new.EmailTextMessage", "") "; END",
    "DELETE FROM WebMailToSMS_UserNameTags",
    "INSERT INTO WebMailToSMS_UserNameTags(rowid, Tags) " USER_NAME_TAGS("id", "EmailTextMessage",
                                                                         "FROM WebMailToSMS_MessagesReceived"),
};
#undef USER_NAME_TAGS
const char *const kVersion6Postgres[] = {
    "CREATE INDEX IF NOT EXISTS ix_webmail_sender_trgm ON WebMailToSMS_MessagesReceived "
    "USING gin (EmailFromAddress gin_trgm_ops)",
    "CREATE INDEX IF NOT EXISTS ix_webmail_text_trgm ON WebMailToSMS_MessagesReceived "
    "USING gin (EmailTextMessage gin_trgm_ops)",
};

// The operator's permission to send the POP3 password without TLS (off unless turned on), and
// the largest email the webmail poll reads; larger ones are skipped and remembered.
const char *const kVersion7[] = {
    "ALTER TABLE WebMailToSMS_POP3Settings ADD COLUMN IsPOP3ClearTextLoginAllowed INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE WebMailToSMS_POP3Settings ADD COLUMN MaxEmailSizeKB NUMERIC NOT NULL DEFAULT 10240",
};

// Several stations (each running Parlix, named after its host unless told otherwise) on one
// database: a station claims an outbox row for a while (the lease) and records which medium it
// is sending it by; the inbox and the sent items say which station received or sent them.
const char *const kVersion8[] = {
    R"(CREATE TABLE Stations (
        StationId INTEGER PRIMARY KEY AUTOINCREMENT,
        StationName TEXT NOT NULL UNIQUE,
        RegisteredOn TEXT))",
    "ALTER TABLE Message_OutBox ADD COLUMN ClaimedBy TEXT",
    "ALTER TABLE Message_OutBox ADD COLUMN LeaseExpiresOn TEXT",
    "ALTER TABLE Message_OutBox ADD COLUMN ClaimMedium TEXT",
    "ALTER TABLE Message_OutBox ADD COLUMN SentBy TEXT",
    "ALTER TABLE Message_InBox ADD COLUMN ReceivedBy TEXT",
    "CREATE INDEX ix_outbox_lease ON Message_OutBox(DeliveryStatus, LeaseExpiresOn)",
};

// What the one station of a database from before stations did is its host's.
Status adoptHostStation(const QSqlDatabase &db)
{
    const QString host = defaultStationName();
    Status s = sql::run(db, QStringLiteral("INSERT INTO Stations (StationName,RegisteredOn) VALUES (?,?)"),
                        {host, sql::dateValue(QDateTime::currentDateTime())})
                   .status();
    for (const char *text : {"UPDATE Message_OutBox SET ClaimedBy=? WHERE DeliveryStatus='SENDING'",
                             "UPDATE Message_OutBox SET SentBy=? WHERE DeliveryDatetime IS NOT NULL",
                             "UPDATE Message_InBox SET ReceivedBy=?"}) {
        if (s)
            s = sql::run(db, QString::fromLatin1(text), {host}).status();
    }
    return s;
}

// Each station its own modem: the modem settings row gets the station it belongs to (a row
// without one serves every station that has none), and the SIM ledger's keys are each
// station's own, so the same message at the same place on two SIM cards is stored twice.
const char *const kVersion9[] = {
    "ALTER TABLE ModemSettings ADD COLUMN Station TEXT",
};

// The modem and the SIM of a database from before belong to its host's station.
Status adoptHostModem(const QSqlDatabase &db)
{
    const QString host = defaultStationName();
    Status s = sql::run(db, QStringLiteral("UPDATE ModemSettings SET Station=?"), {host}).status();
    if (s)
        s = sql::run(db, QStringLiteral("UPDATE SIM_StoredMessages SET MessageKey=?||MessageKey"),
                     {simLedgerKeyPrefix(host)})
                .status();
    return s;
}

// The one webmail poller of all stations: the station holding the lease polls the mailbox
// until the lease ends, renewing it at every poll; another station takes an ended lease over.
// On PostgreSQL a session lock decides instead, and the row only names the holder. The step
// can run again over its own result.
const char *const kVersion10[] = {
    R"(CREATE TABLE IF NOT EXISTS WebMailToSMS_PollerLease (
        HolderStation TEXT,
        LeaseExpiresOn TEXT))",
    "INSERT INTO WebMailToSMS_PollerLease (HolderStation, LeaseExpiresOn) SELECT NULL, NULL "
    "WHERE NOT EXISTS (SELECT 1 FROM WebMailToSMS_PollerLease)",
};

// PostgreSQL at a million rows. It counts rows by reading them (or every index entry), which
// takes longer than the message box may: statement triggers keep the counts of the whole inbox
// (and of its unread messages) and of the whole outbox instead, as rows of changes that a count
// adds up (sql::keptCount folds them into one now and then). Rows of changes, not one row
// updated in place, so that writers never wait for each other's counts. The page ids come from
// the indexes alone once the id is in them (SQLite's indexes hold the row id already; the sent
// items' index leaves out the unsent rows, which claims change over and over). Each
// claim takes the first waiting outbox row from an index of those alone, instead of walking the
// sent rows before it (SQLite's date index holds the undelivered rows in id order already). The
// step can run again over its own result.
const char *const kVersion11Postgres[] = {
    "CREATE INDEX IF NOT EXISTS ix_outbox_waiting ON Message_OutBox(Outbox_Id) "
    "WHERE DeliveryDatetime IS NULL AND (DeliveryStatus IS NULL OR DeliveryStatus='')",
    "CREATE INDEX IF NOT EXISTS ix_outbox_sent_id ON Message_OutBox(DeliveryDatetime, Outbox_Id) "
    "WHERE DeliveryDatetime IS NOT NULL",
    "CREATE INDEX IF NOT EXISTS ix_inbox_date_id ON Message_InBox(InboxDateTime, InBox_Id)",
    "DROP INDEX IF EXISTS ix_inbox_date",
    "CREATE INDEX IF NOT EXISTS ix_inbox_unread_date_id ON Message_InBox(IsRead, InboxDateTime, InBox_Id)",
    "DROP INDEX IF EXISTS ix_inbox_unread_date",

    "CREATE TABLE IF NOT EXISTS Message_InBox_Totals (Total BIGINT NOT NULL, Unread BIGINT NOT NULL)",
    "DELETE FROM Message_InBox_Totals",
    "INSERT INTO Message_InBox_Totals SELECT COUNT(*), COUNT(*) FILTER (WHERE IsRead=0) FROM Message_InBox",
    R"(CREATE OR REPLACE FUNCTION Message_InBox_CountChanges() RETURNS trigger LANGUAGE plpgsql AS $$
    BEGIN
        IF TG_OP = 'INSERT' THEN
            INSERT INTO Message_InBox_Totals SELECT COUNT(*), COUNT(*) FILTER (WHERE IsRead=0) FROM Added
                HAVING COUNT(*) > 0;
        ELSIF TG_OP = 'DELETE' THEN
            INSERT INTO Message_InBox_Totals SELECT -COUNT(*), -COUNT(*) FILTER (WHERE IsRead=0) FROM Gone
                HAVING COUNT(*) > 0;
        ELSIF TG_OP = 'UPDATE' THEN
            INSERT INTO Message_InBox_Totals SELECT 0, Change FROM (SELECT
                (SELECT COUNT(*) FROM Added WHERE IsRead=0) - (SELECT COUNT(*) FROM Gone WHERE IsRead=0) AS Change)
                AS Counted WHERE Change <> 0;
        ELSE
            DELETE FROM Message_InBox_Totals;
        END IF;
        RETURN NULL;
    END $$)",
    "DROP TRIGGER IF EXISTS Message_InBox_Totals_ai ON Message_InBox",
    "CREATE TRIGGER Message_InBox_Totals_ai AFTER INSERT ON Message_InBox REFERENCING NEW TABLE AS Added "
    "FOR EACH STATEMENT EXECUTE FUNCTION Message_InBox_CountChanges()",
    "DROP TRIGGER IF EXISTS Message_InBox_Totals_ad ON Message_InBox",
    "CREATE TRIGGER Message_InBox_Totals_ad AFTER DELETE ON Message_InBox REFERENCING OLD TABLE AS Gone "
    "FOR EACH STATEMENT EXECUTE FUNCTION Message_InBox_CountChanges()",
    "DROP TRIGGER IF EXISTS Message_InBox_Totals_au ON Message_InBox",
    "CREATE TRIGGER Message_InBox_Totals_au AFTER UPDATE ON Message_InBox REFERENCING OLD TABLE AS Gone "
    "NEW TABLE AS Added FOR EACH STATEMENT EXECUTE FUNCTION Message_InBox_CountChanges()",
    "DROP TRIGGER IF EXISTS Message_InBox_Totals_at ON Message_InBox",
    "CREATE TRIGGER Message_InBox_Totals_at AFTER TRUNCATE ON Message_InBox "
    "FOR EACH STATEMENT EXECUTE FUNCTION Message_InBox_CountChanges()",

    "CREATE TABLE IF NOT EXISTS Message_OutBox_Totals (Total BIGINT NOT NULL)",
    "DELETE FROM Message_OutBox_Totals",
    "INSERT INTO Message_OutBox_Totals SELECT COUNT(*) FROM Message_OutBox",
    R"(CREATE OR REPLACE FUNCTION Message_OutBox_CountChanges() RETURNS trigger LANGUAGE plpgsql AS $$
    BEGIN
        IF TG_OP = 'INSERT' THEN
            INSERT INTO Message_OutBox_Totals SELECT COUNT(*) FROM Added HAVING COUNT(*) > 0;
        ELSIF TG_OP = 'DELETE' THEN
            INSERT INTO Message_OutBox_Totals SELECT -COUNT(*) FROM Gone HAVING COUNT(*) > 0;
        ELSE
            DELETE FROM Message_OutBox_Totals;
        END IF;
        RETURN NULL;
    END $$)",
    "DROP TRIGGER IF EXISTS Message_OutBox_Totals_ai ON Message_OutBox",
    "CREATE TRIGGER Message_OutBox_Totals_ai AFTER INSERT ON Message_OutBox REFERENCING NEW TABLE AS Added "
    "FOR EACH STATEMENT EXECUTE FUNCTION Message_OutBox_CountChanges()",
    "DROP TRIGGER IF EXISTS Message_OutBox_Totals_ad ON Message_OutBox",
    "CREATE TRIGGER Message_OutBox_Totals_ad AFTER DELETE ON Message_OutBox REFERENCING OLD TABLE AS Gone "
    "FOR EACH STATEMENT EXECUTE FUNCTION Message_OutBox_CountChanges()",
    "DROP TRIGGER IF EXISTS Message_OutBox_Totals_at ON Message_OutBox",
    "CREATE TRIGGER Message_OutBox_Totals_at AFTER TRUNCATE ON Message_OutBox "
    "FOR EACH STATEMENT EXECUTE FUNCTION Message_OutBox_CountChanges()",
};

using Statements = std::span<const char *const>;

// One numbered step: the statements both engines run (written for SQLite; see
// sql::schemaStatement), then those of the one engine.
struct Step
{
    int version;
    Statements shared;
    Statements sqliteOnly = {};
    Statements postgresOnly = {};
    Status (*after)(const QSqlDatabase &) = nullptr; // fills in what SQL alone cannot know
};

const Step kSteps[] = {
    {1, kVersion1},
    {2, kVersion2},
    {3, {}, kVersion3Sqlite, kVersion3Postgres},
    {4, kVersion4},
    {5, kVersion5},
    {6, kVersion6, kVersion6Sqlite, kVersion6Postgres},
    {7, kVersion7},
    {8, kVersion8, {}, {}, adoptHostStation},
    {9, kVersion9, {}, {}, adoptHostModem},
    {10, kVersion10},
    {11, {}, {}, kVersion11Postgres},
};

QString failureOf(const QSqlQuery &q)
{
    const QSqlError e = q.lastError();
    return e.databaseText().isEmpty() ? e.text() : e.databaseText();
}

Status runStep(const QSqlDatabase &db, const Step &step)
{
    QSqlQuery q(db);
    const bool postgres = sql::backendOf(db) == sql::Backend::Postgres;
    for (const Statements &list : {step.shared, postgres ? step.postgresOnly : step.sqliteOnly}) {
        for (const char *statement : list) {
            if (q.exec(sql::schemaStatement(db, QString::fromUtf8(statement))))
                continue;
            QString why = failureOf(q);
            if (std::strstr(statement, "CREATE EXTENSION") != nullptr)
                why = QStringLiteral("the PostgreSQL extension pg_trgm, which the search by a part of a number or "
                                     "address needs, is not available (%1). Install the server's contrib package "
                                     "(postgresql-contrib) or have the database owner run CREATE EXTENSION pg_trgm.")
                          .arg(why);
            return Status::failure(
                QStringLiteral("Creating the database schema (version %1) failed: %2").arg(step.version).arg(why));
        }
    }
    if (step.after) {
        if (Status s = step.after(db); !s)
            return Status::failure(
                QStringLiteral("Creating the database schema (version %1) failed: %2").arg(step.version).arg(s.error));
    }
    return Status::success();
}

// Every column name as the schema spells it, by its lower-case form.
QHash<QString, QString> columnSpellings()
{
    static const QRegularExpression addColumn(QStringLiteral(R"(ADD COLUMN\s+(\w+))"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression firstWord(QStringLiteral(R"(^\s*(\w+))"));
    QHash<QString, QString> names;
    const auto add = [&](const QString &name) { names.insert(name.toLower(), name); };
    for (const Step &step : kSteps) {
        for (const Statements &list : {step.shared, step.sqliteOnly}) {
            for (const char *statement : list) {
                const QString text = QString::fromUtf8(statement);
                if (const auto m = addColumn.match(text); m.hasMatch())
                    add(m.captured(1));
                if (!text.startsWith(QLatin1String("CREATE TABLE")))
                    continue;
                const qsizetype open = text.indexOf(QLatin1Char('('));
                int depth = 0;
                qsizetype from = open + 1;
                for (qsizetype i = open + 1; i < text.size() && depth >= 0; ++i) {
                    const QChar c = text.at(i);
                    if (c == QLatin1Char('('))
                        ++depth;
                    else if ((c == QLatin1Char(',') && depth == 0) || (c == QLatin1Char(')') && depth-- == 0)) {
                        const auto m = firstWord.match(text.mid(from, i - from));
                        if (m.hasMatch() && m.captured(1) != QLatin1String("PRIMARY"))
                            add(m.captured(1));
                        from = i + 1;
                    }
                }
            }
        }
    }
    return names;
}

} // namespace

int latestVersion()
{
    return kSteps[std::size(kSteps) - 1].version;
}

int versionOfStepWith(const char *fragment)
{
    for (const Step &step : kSteps) {
        for (const Statements &list : {step.shared, step.sqliteOnly, step.postgresOnly}) {
            for (const char *statement : list) {
                if (std::strstr(statement, fragment) != nullptr)
                    return step.version;
            }
        }
    }
    return 0;
}

QString columnSpelling(const QString &name)
{
    static const QHash<QString, QString> names = columnSpellings();
    return names.value(name.toLower(), name);
}

Status migrate(QSqlDatabase db)
{
    // Each step is read, applied and recorded in one transaction that holds the schema lock, so
    // two programs starting on a new database at once do not both apply it.
    for (;;) {
        if (!db.transaction())
            return Status::failure(QStringLiteral("The database cannot be changed: %1").arg(db.lastError().text()));
        Status s = sql::lockSchema(db);
        auto version = s ? sql::schemaVersion(db) : Result<int>::failure(s.error);
        if (!version) {
            db.rollback();
            return Status::failure(QStringLiteral("The database cannot be read: %1").arg(version.error()));
        }
        if (version.value() > latestVersion()) {
            db.rollback();
            return Status::failure(
                QStringLiteral("The database was written by a newer Parlix (schema version %1; this program knows "
                               "versions up to %2). Use the newer program or another database.")
                    .arg(version.value())
                    .arg(latestVersion()));
        }
        const Step *next = nullptr;
        for (const Step &step : kSteps) {
            if (step.version > version.value()) {
                next = &step;
                break;
            }
        }
        if (!next) {
            db.rollback();
            return Status::success();
        }
        if (s = runStep(db, *next); !s) {
            db.rollback();
            return s;
        }
        if (s = sql::setSchemaVersion(db, next->version); !s || !db.commit()) {
            const QString why = s ? db.lastError().text() : s.error;
            db.rollback();
            return Status::failure(QStringLiteral("The database schema cannot be saved: %1").arg(why));
        }
    }
}

} // namespace parlix::schema
