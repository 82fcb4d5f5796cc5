#include "gui/reports/DateRangeFilter.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace parlix {

namespace {

QDateEdit *datePicker(const char *name, const QDate &day)
{
    auto *picker = new QDateEdit(day);
    picker->setObjectName(QLatin1String(name));
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    return picker;
}

} // namespace

DateRangeFilter dateRangeFilter(const char *fromName, const char *toName, const QDate &today, QPushButton *apply)
{
    DateRangeFilter f{datePicker(fromName, today), datePicker(toName, today), new QHBoxLayout};
    f.row->addWidget(new QLabel(QStringLiteral("From Date :")));
    f.row->addWidget(f.from);
    f.row->addWidget(new QLabel(QStringLiteral("To Date :")));
    f.row->addWidget(f.to);
    f.row->addWidget(apply);
    f.row->addStretch();
    return f;
}

} // namespace parlix
