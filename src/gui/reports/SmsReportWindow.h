#pragma once

#include "gui/reports/DateRangeFilter.h"
#include "gui/reports/ExportWizard.h"
#include "store/InboxRepository.h"

#include <QDate>
#include <QDialog>
#include <QPointer>

class QCheckBox;
class QPushButton;

namespace parlix {

class Clock;
class DbConnection;
class PagedListView;
class Prompt;

struct ReportServices
{
    DbConnection *db = nullptr; // this thread's connection; an export opens its own to the same file
    Prompt *prompt = nullptr;
    const Clock *clock = nullptr;
    SaveFileChooser chooseFile; // empty: the save dialog
};

// Frm_SMSReport, "Received SMS Report": the SMS received between two days, 500 to a page,
// deleting ticked rows, and the export wizard for every row of the range.
class SmsReportWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SmsReportWindow)

public:
    static constexpr int kPageSize = 500;

    explicit SmsReportWindow(ReportServices services, QWidget *parent = nullptr);

    // What the last fill found: the wizard exports this range.
    qint64 TotalSMSToBeExport() const { return m_total; }
    ExportStep2Window *step2() const { return m_step2; }
    ExportStep3Window *step3() const { return m_step3; }

    static QString deleteQuestionText() { return QStringLiteral("Are you sure to delete the SMS?"); }
    static QString exportAllText()
    {
        return QStringLiteral("Records from all pages based on search criteria will be selected for Export.");
    }
    static QString nothingToExportText() { return QStringLiteral("No record found for exporting."); }

public Q_SLOTS:
    void fill();
    void deleteTicked();
    void exportAll();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    InboxQuery query() const;
    void fillSoon();
    void tickAll(bool ticked);
    void rowTicked();
    void sortBy(int column);
    void hideForWizard();
    void closeFromHidden();

    ReportServices m_services;
    DateRangeFilter m_dates;
    PagedListView *m_paged;
    QCheckBox *m_all;
    QPushButton *m_delete;
    InboxSort m_sort = InboxSort::NewestFirst;
    QDate m_fromDate;
    QDate m_toDate;
    qint64 m_total = 0;
    bool m_fillPending = false;
    QPointer<ExportStep2Window> m_step2;
    QPointer<ExportStep3Window> m_step3;
};

} // namespace parlix
