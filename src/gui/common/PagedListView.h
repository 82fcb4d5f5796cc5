#pragma once

#include "core/Result.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace parlix {

class Prompt;

// A list that shows a query result one page at a time, with "<< Previous", "Next >>", a page
// box and a caption with the page and record counts. Only the rows of the page shown are
// fetched, and the total is counted by the database, so a page of a huge table comes back as
// fast as a page of a small one. Windows give it a source and their own texts and page size.
class PagedListView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PagedListView)

public:
    struct Options
    {
        int pageSize = 100;
        // The caption from the page count and the total; the message box's by default.
        std::function<QString(qint64 pageCount, qint64 total, int pageSize)> caption;
        QString initialCaption = QStringLiteral("Of");
        bool writesPageBox = false;         // write the current page into the box at every fill
        bool blankCaptionWhenEmpty = false; // a fill that finds nothing blanks the caption
    };

    struct Source
    {
        std::function<Result<qint64>()> count;
        // Adds the rows of one page (limit rows from offset, of total) to the list.
        std::function<Status(qint64 offset, int limit, qint64 total, QTreeWidget &list)> fill;
    };

    PagedListView(Prompt &prompt, Options options, QWidget *parent = nullptr);

    QTreeWidget *list() const { return m_list; }

    void setSource(Source source) { m_source = std::move(source); }
    // What Next, Previous and the page box run to show another page; the list's own fill
    // unless the window has more to do on every fill.
    void setRefill(std::function<void()> refill) { m_refill = std::move(refill); }

    qint64 currentPage() const { return m_currentPage; }
    void setCurrentPage(qint64 page) { m_currentPage = page; }
    qint64 pageCount() const { return m_pageCount; }
    QString caption() const;

    // Lists page currentPage() of the source. A fill that finds no rows leaves the list empty
    // and keeps the caption, the page count and the buttons as the previous fill left them.
    // A failing query is shown to the operator and leaves the list empty.
    bool fill();

    // "of 3 Pages. Total records: 250"; "of 2 Total records: 200" when the pages come out even.
    static QString messageBoxCaption(qint64 pageCount, qint64 total, int pageSize);

    static QString notNumericText() { return QStringLiteral("Please enter numeric value."); }
    static QString noSuchPageText() { return QStringLiteral("This page does not exist."); }

Q_SIGNALS:
    void filled();

private:
    void refill();
    void pageBoxEdited(const QString &text);
    void pageBoxEntered();
    void resetPageBox();

    Prompt &m_prompt;
    Options m_options;
    Source m_source;
    std::function<void()> m_refill;
    qint64 m_currentPage = 1;
    qint64 m_pageCount = 0;
    bool m_resettingBox = false;

    QTreeWidget *m_list;
    QWidget *m_bar;
    QPushButton *m_previous;
    QPushButton *m_next;
    QLineEdit *m_pages;
    QLabel *m_caption;
};

} // namespace parlix
