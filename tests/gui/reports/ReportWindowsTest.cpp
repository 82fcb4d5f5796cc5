// The report windows and the export wizard as the operator uses them, offscreen, over a real
// database: the missed calls list, the received SMS pages, deleting, and the wizard from the
// report to the written file, including Back, Cancel and a cancelled export.
#include "../WindowFixture.h"
#include "export/ExportJob.h"
#include "gui/main/MainWindow.h"
#include "gui/reports/ExportWizard.h"
#include "gui/reports/MissedCallsReportWindow.h"
#include "gui/reports/SmsReportWindow.h"
#include "store/CallRepository.h"

#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QSemaphore>

#include <atomic>

namespace parlix::test {
namespace {

class ReportTest : public WindowFixture
{
protected:
    QDate today() const { return clock.today(); }
    QString file(const QString &name) const { return QDir(db.dir()).filePath(name); }

    // count SMS received today, one second apart from midnight: "n1" is the oldest.
    void addSms(int count)
    {
        if (count == 0)
            return;
        db.exec(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<?) "
                           "INSERT INTO Message_InBox (SenderMobileNo,SenderId,Message,InboxDateTime,IsRead) "
                           "SELECT 'n' || i, 0, 'm' || i, strftime('%Y-%m-%d %H:%M:%S', ?, '+' || i || ' seconds'), 0 "
                           "FROM n"),
            {count, today().startOfDay().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
    }
    qint64 smsCount() { return InboxRepository(db.db()).count({}).value(); }

    void openReport()
    {
        report = std::make_unique<SmsReportWindow>(ReportServices{&db.conn(), &prompt, &clock, chooser()});
        report->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(report.get()));
        QCoreApplication::processEvents(); // the fill that showing the window asks for
    }
    // The save dialog answers with the paths queued in `answers`, then with a cancel.
    SaveFileChooser chooser()
    {
        return [this](QWidget *, const QString &, const QString &name, const QString &) {
            suggested << name;
            return answers.isEmpty() ? QString() : answers.takeFirst();
        };
    }
    template <typename T> T *ofReport(const char *name) const { return child<T>(report.get(), name); }
    QTreeWidget *smsList() const { return ofReport<QTreeWidget>("lstSMS"); }
    QString caption() const { return ofReport<QLabel>("lblPages")->text(); }
    // Near the left edge, where a check box or option button has its box and its text.
    static void click(QWidget *w, const char *name)
    {
        QAbstractButton *b = child<QAbstractButton>(w, name);
        ASSERT_NE(b, nullptr) << name;
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(std::min(8, b->width() / 2), b->height() / 2));
    }

    std::unique_ptr<SmsReportWindow> report;
    QStringList answers;
    QStringList suggested;
};

TEST_F(ReportTest, MissedCallsInOrderFromAfterToAndDeleting)
{
    CallRepository calls(db.db());
    const QDateTime morning(today(), QTime(9, 5));
    calls.insert(QStringLiteral("0201234"), QDateTime(today(), QTime(14, 30)), true);
    calls.insert(QStringLiteral("0207777"), morning, true);
    calls.insert(QStringLiteral("0209999"), morning.addSecs(60), false); // answered: not listed
    calls.insert(QString(), morning.addDays(-1), true);

    MissedCallsReportWindow window(db.db(), prompt, clock);
    window.show();
    QTreeWidget *list = child<QTreeWidget>(&window, "ListLogs");
    QPushButton *remove = child<QPushButton>(&window, "cmdDelete");
    EXPECT_EQ(list->headerItem()->text(2), QStringLiteral("Call Timing"));
    EXPECT_EQ(columnTexts(list, 2), (QStringList{"09:05", "14:30"}));
    EXPECT_EQ(columnTexts(list, 0), QStringList(2, today().toString(QStringLiteral("dd/MM/yyyy"))));
    EXPECT_FALSE(remove->isEnabled());

    child<QDateEdit>(&window, "DtpFrom")->setDate(today().addDays(1));
    click(&window, "cmdSearch");
    EXPECT_EQ(prompt.lastText(), MissedCallsReportWindow::fromAfterToText());
    EXPECT_EQ(list->topLevelItemCount(), 2);
    child<QDateEdit>(&window, "DtpFrom")->setDate(today());

    list->topLevelItem(0)->setCheckState(0, Qt::Checked);
    EXPECT_TRUE(remove->isEnabled());
    click(&window, "cmdDelete");
    EXPECT_EQ(prompt.texts().mid(1),
              (QStringList{MissedCallsReportWindow::deleteQuestionText(), MissedCallsReportWindow::deletedText()}));
    EXPECT_EQ(columnTexts(list, 1), QStringList{"0201234"});
    EXPECT_FALSE(remove->isEnabled());

    // Select All ticked and cleared again leaves Delete enabled; it deletes nothing.
    click(&window, "chkAll");
    click(&window, "chkAll");
    ASSERT_TRUE(remove->isEnabled());
    click(&window, "cmdDelete");
    EXPECT_EQ(prompt.lastText(), MissedCallsReportWindow::deletedText());
    EXPECT_EQ(list->topLevelItemCount(), 1);

    // The range starts at midnight of the From day.
    child<QDateEdit>(&window, "DtpFrom")->setDate(today().addDays(-1));
    click(&window, "cmdSearch");
    EXPECT_EQ(columnTexts(list, 1), (QStringList{QString(), "0201234"}));
}

TEST_F(ReportTest, ReceivedSmsPages)
{
    const struct
    {
        int rows;
        int page;
        const char *caption;
        int shown;
        const char *first;
        bool next;
        bool previous;
    } cases[] = {
        {1200, 3, "of 3 Pages. Total Records : 1200", 200, "n200", false, true},
        {1200, 2, "of 3 Pages. Total Records : 1200", 500, "n700", true, true},
        {500, 1, "of 1 Pages. Total Records : 500", 500, "n500", false, false},
        {0, 1, "", 0, "", false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rows);
        db.exec(QStringLiteral("DELETE FROM Message_InBox"));
        addSms(c.rows);
        openReport();
        for (int page = 1; page < c.page; ++page)
            click(report.get(), "cmdNext");
        EXPECT_EQ(caption(), QLatin1String(c.caption));
        EXPECT_EQ(smsList()->topLevelItemCount(), c.shown);
        if (c.shown > 0) {
            EXPECT_EQ(smsList()->topLevelItem(0)->text(0), QLatin1String(c.first));
        }
        EXPECT_EQ(ofReport<QPushButton>("cmdNext")->isEnabled(), c.next);
        EXPECT_EQ(ofReport<QPushButton>("cmdPrevious")->isEnabled(), c.previous);
        EXPECT_EQ(report->TotalSMSToBeExport(), c.rows);
    }
    click(report.get(), "cmdExport"); // nothing in the range
    EXPECT_EQ(prompt.texts(), (QStringList{SmsReportWindow::exportAllText(), SmsReportWindow::nothingToExportText()}));
    EXPECT_EQ(report->step2(), nullptr);
}

TEST_F(ReportTest, SelectAllDeletesThePageAndHeadersSortWithoutToggling)
{
    addSms(1200);
    InboxRepository(db.db()).insert(QStringLiteral("0"), QStringLiteral("first line\nsecond line"),
                                    today().startOfDay());
    openReport();
    click(report.get(), "chkAll");
    EXPECT_TRUE(ofReport<QPushButton>("CmdDelete")->isEnabled());
    click(report.get(), "CmdDelete");
    EXPECT_EQ(prompt.lastText(), SmsReportWindow::deleteQuestionText());
    EXPECT_EQ(smsCount(), 701);
    EXPECT_EQ(smsList()->topLevelItem(0)->text(0), QStringLiteral("n700"));
    EXPECT_EQ(caption(), QStringLiteral("of 2 Pages. Total Records : 701"));

    for (int clicks = 0; clicks < 2; ++clicks) {
        clickHeader(smsList(), 0);
        EXPECT_EQ(columnTexts(smsList(), 0).mid(0, 3), (QStringList{"0", "n1", "n10"}));
    }
    clickHeader(smsList(), 1);
    EXPECT_EQ(smsList()->topLevelItem(0)->text(1), QStringLiteral("first line\nsecond line"));
    clickHeader(smsList(), 2);
    EXPECT_EQ(smsList()->topLevelItem(0)->text(0), QStringLiteral("n700"));
    EXPECT_EQ(smsList()->topLevelItem(0)->text(2),
              QDateTime(today(), QTime(0, 11, 40)).toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
}

TEST_F(ReportTest, Step3BrowseRules)
{
    QFile existing(file(QStringLiteral("old.db")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    ExportStep3Window step3(prompt, {db.path(), today(), today(), [] { return QStringLiteral("Message"); }}, chooser());
    step3.show();
    QLabel *chosen = child<QLabel>(&step3, "lblSelectedfileName");

    answers = {file(QStringLiteral("old.db")), file(QStringLiteral("new.txt"))}; // then a cancel
    click(&step3, "cmdBrowse");
    EXPECT_EQ(prompt.texts(), (QStringList{ExportStep3Window::fileExistsText(),
                                           ExportStep3Window::wrongExtensionText(ExportFormat::Database)}));
    EXPECT_EQ(suggested.last(), QStringLiteral("ReceivedSMSReport.db"));
    EXPECT_TRUE(step3.chosenPath().isEmpty());

    answers = {file(QStringLiteral("new.db"))};
    click(&step3, "cmdBrowse");
    EXPECT_EQ(step3.chosenPath(), file(QStringLiteral("new.db")));
    EXPECT_TRUE(QFile::exists(step3.chosenPath()));
    click(&step3, "cmdBrowse"); // cancelled: the file chosen before stays
    EXPECT_EQ(chosen->text(), QDir::toNativeSeparators(file(QStringLiteral("new.db"))));

    QWidget *text = child<QCheckBox>(&step3, "chkIncludeFlds");
    EXPECT_FALSE(text->isEnabled());
    click(&step3, "optCsv");
    EXPECT_TRUE(text->isEnabled());
    EXPECT_TRUE(step3.chosenPath().isEmpty());
    click(&step3, "optTab");
    EXPECT_EQ(step3.delimiter(), QStringLiteral("\t"));
    QTest::keyClicks(child<QLineEdit>(&step3, "txtOther"), QStringLiteral("|"));
    EXPECT_TRUE(child<QRadioButton>(&step3, "optOther")->isChecked());
    EXPECT_EQ(step3.delimiter(), QStringLiteral("|"));
    click(&step3, "optExcel");
    answers = {file(QStringLiteral("book.xls"))};
    click(&step3, "cmdBrowse");
    EXPECT_EQ(prompt.lastText(), QStringLiteral("please select XLSX Files only."));

    click(&step3, "cmdNext");
    EXPECT_EQ(prompt.lastText(), ExportStep3Window::noFileText());
    EXPECT_TRUE(child<QPushButton>(&step3, "cmdNext")->isEnabled());
    click(&step3, "cmdBack");
    EXPECT_EQ(step3.result(), WizardBack);
}

TEST_F(ReportTest, WizardFromReportToFileWithBackAndCancel)
{
    addSms(3);
    openReport();
    const QString target = file(QStringLiteral("sms.csv"));

    // Step 2 needs a field; Back returns to the report.
    whenModal<ExportStep2Window>([this](ExportStep2Window *step2) {
        EXPECT_EQ(child<QLabel>(step2, "lblmessage")->text(), QStringLiteral("3"));
        for (const char *box : {"chkMobileNo", "chkMessage", "chkSendOn"})
            click(step2, box);
        click(step2, "cmdNext");
        EXPECT_EQ(prompt.lastText(), ExportStep2Window::noFieldText());
        click(step2, "chkMessage");
        EXPECT_EQ(step2->SqlExportSMS(), QStringLiteral("Message"));
        click(step2, "cmdBack");
    });
    click(report.get(), "cmdExport");
    EXPECT_TRUE(report->isVisible());

    // Next, Back to Step 2, Next again, then the export closes every window.
    whenModal<ExportStep2Window>([this, target](ExportStep2Window *step2) {
        whenModal<ExportStep3Window>([this, target](ExportStep3Window *step3) {
            whenModal<ExportStep2Window>([this, target](ExportStep2Window *again) {
                whenModal<ExportStep3Window>([this, target](ExportStep3Window *step3again) {
                    click(step3again, "optCsv");
                    answers = {target};
                    click(step3again, "cmdBrowse");
                    click(step3again, "cmdNext");
                });
                click(again, "cmdNext");
            });
            click(step3, "cmdBack");
        });
        click(step2, "cmdNext");
    });
    click(report.get(), "cmdExport");
    EXPECT_FALSE(report->isVisible());
    EXPECT_EQ(report->result(), QDialog::Rejected);
    EXPECT_EQ(prompt.lastText(),
              ExportStep3Window::successText() + QStringLiteral("\r\n") + QDir::toNativeSeparators(target));
    QFile written(target);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().startsWith("SenderMobileNo,Message,InboxDateTime\r\n\"n1\",\"m1\""));

    // Cancel in Step 2 closes the report too.
    openReport();
    whenModal<ExportStep2Window>([](ExportStep2Window *step2) { click(step2, "cmdCancel"); });
    click(report.get(), "cmdExport");
    EXPECT_FALSE(report->isVisible());
}

TEST_F(ReportTest, CancelHalfWayKeepsAPrefixAndSaysSo)
{
    addSms(5000);
    ExportStep3Window step3(prompt, {db.path(), today(), today(), [] { return QStringLiteral("SenderMobileNo"); }},
                            chooser());
    step3.show();
    click(&step3, "optCsv");
    answers = {file(QStringLiteral("part.csv"))};
    click(&step3, "cmdBrowse");

    // The worker waits at its first progress report until Cancel has been pressed.
    QSemaphore cancelPressed;
    ExportJob *job = step3.findChild<ExportJob *>();
    ASSERT_NE(job, nullptr);
    std::atomic_bool held{false};
    QObject::connect(
        job, &ExportJob::progress, job,
        [&](qint64 written, qint64) {
            if (!held && written > 0) {
                held = true;
                cancelPressed.acquire();
            }
        },
        Qt::DirectConnection);
    QSignalSpy finished(&step3, &QDialog::finished);
    click(&step3, "cmdNext");
    QTRY_VERIFY_WITH_TIMEOUT(held, 5000);
    EXPECT_FALSE(child<QPushButton>(&step3, "cmdBack")->isEnabled());
    click(&step3, "cmdCancel");
    cancelPressed.release();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(prompt.lastText().startsWith(QStringLiteral("The export was cancelled after 1 records.")))
        << prompt.lastText().toStdString();
    EXPECT_TRUE(prompt.lastText().endsWith(QDir::toNativeSeparators(file(QStringLiteral("part.csv")))));
}

TEST_F(ReportTest, MainWindowMenuOpensBothReportsAndExitClosesThem)
{
    MainWindow main({&log, &db.conn(), nullptr, &prompt, &clock});
    for (const char *entry : {"MR", "SMSR"}) {
        SCOPED_TRACE(entry);
        QAction *action = main.findChild<QAction *>(QLatin1String(entry));
        ASSERT_TRUE(action->isEnabled());
        bool shown = false;
        whenModal<QDialog>([&shown](QDialog *dialog) {
            QWidget *window = dialog->objectName() == QLatin1String("Frm_SMSReport")
                                  ? dialog
                                  : dialog->findChild<QWidget *>(QStringLiteral("frmMissedCallsReport"));
            ASSERT_NE(window, nullptr);
            shown = true;
            click(window, "cmdExit");
        });
        action->trigger(); // returns once the modal report has closed
        EXPECT_TRUE(shown);
    }
}

} // namespace
} // namespace parlix::test
