#pragma once

#include "gui/reports/DateRangeFilter.h"

#include <QSqlDatabase>
#include <QWidget>

class QCheckBox;
class QPushButton;
class QTreeWidget;

namespace parlix {

class Clock;
class Prompt;

// "Missed Calls Report": the missed calls between two days, oldest first, and deleting the
// ticked ones.
class MissedCallsReportWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MissedCallsReportWindow)

public:
    MissedCallsReportWindow(QSqlDatabase db, Prompt &prompt, const Clock &clock, QWidget *parent = nullptr);

    static QString fromAfterToText() { return QStringLiteral("'From Date' should be less than 'To Date'."); }
    static QString deleteQuestionText() { return QStringLiteral("Are u sure to delete the logs?"); }
    static QString deletedText() { return QStringLiteral("Records Deleted Successfully!!!"); }

public Q_SLOTS:
    void search();
    void deleteSelected();

private:
    void fill();
    void tickAll(bool ticked);
    void rowTicked();
    void closeWindow();

    QSqlDatabase m_db;
    Prompt &m_prompt;
    DateRangeFilter m_dates;
    QTreeWidget *m_list;
    QCheckBox *m_all;
    QPushButton *m_delete;
};

} // namespace parlix
