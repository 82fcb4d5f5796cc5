#pragma once

#include <QDate>

class QDateEdit;
class QHBoxLayout;
class QPushButton;

namespace parlix {

// The row both reports open with: "From Date :" and "To Date :" pickers, both on today, and
// the button that applies them.
struct DateRangeFilter
{
    QDateEdit *from = nullptr;
    QDateEdit *to = nullptr;
    QHBoxLayout *row = nullptr;
};

DateRangeFilter dateRangeFilter(const char *fromName, const char *toName, const QDate &today, QPushButton *apply);

} // namespace parlix
