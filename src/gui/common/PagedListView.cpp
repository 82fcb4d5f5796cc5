#include "gui/common/PagedListView.h"

#include "core/Prompt.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace parlix {

namespace {

qint64 pagesFor(qint64 total, int pageSize)
{
    return (total + pageSize - 1) / pageSize;
}

} // namespace

QString PagedListView::messageBoxCaption(qint64 pageCount, qint64 total, int pageSize)
{
    if (total % pageSize != 0)
        return QStringLiteral("of %1 Pages. Total records: %2").arg(pageCount).arg(total);
    return QStringLiteral("of %1 Total records: %2").arg(pageCount).arg(total);
}

PagedListView::PagedListView(Prompt &prompt, Options options, QWidget *parent)
    : QWidget(parent)
    , m_prompt(prompt)
    , m_options(std::move(options))
    , m_list(new QTreeWidget(this))
    , m_bar(new QWidget(this))
    , m_previous(new QPushButton(QStringLiteral("<< Previous"), m_bar))
    , m_next(new QPushButton(QStringLiteral("Next >>"), m_bar))
    , m_pages(new QLineEdit(m_bar))
    , m_caption(new QLabel(m_options.initialCaption, m_bar))
{
    if (!m_options.caption)
        m_options.caption = &PagedListView::messageBoxCaption;

    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setAlternatingRowColors(true);
    m_list->header()->setSectionsClickable(true);
    m_list->header()->setSortIndicatorShown(false);
    m_list->header()->setStretchLastSection(false);

    m_previous->setObjectName(QStringLiteral("cmdPrevious"));
    m_next->setObjectName(QStringLiteral("cmdNext"));
    m_pages->setObjectName(QStringLiteral("txtPages"));
    m_pages->setFixedWidth(56);
    m_pages->setAlignment(Qt::AlignRight);
    m_caption->setObjectName(QStringLiteral("lblPages"));
    m_previous->setEnabled(false);
    m_next->setEnabled(false);

    auto *bar = new QHBoxLayout(m_bar);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(m_previous);
    bar->addWidget(m_next);
    bar->addSpacing(12);
    bar->addWidget(new QLabel(QStringLiteral("Page"), m_bar));
    bar->addWidget(m_pages);
    bar->addWidget(m_caption);
    bar->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_bar);

    connect(m_next, &QPushButton::clicked, this, [this] {
        ++m_currentPage;
        refill();
    });
    connect(m_previous, &QPushButton::clicked, this, [this] {
        if (m_currentPage > 1) {
            --m_currentPage;
            refill();
        }
    });
    connect(m_pages, &QLineEdit::textChanged, this, &PagedListView::pageBoxEdited);
    connect(m_pages, &QLineEdit::returnPressed, this, &PagedListView::pageBoxEntered);
}

QString PagedListView::caption() const
{
    return m_caption->text();
}

void PagedListView::refill()
{
    if (m_refill)
        m_refill();
    else
        fill();
}

bool PagedListView::fill()
{
    m_list->clear();
    if (m_options.writesPageBox)
        resetPageBox();
    if (!m_source.count || !m_source.fill)
        return false;

    const Result<qint64> total = m_source.count();
    if (!total) {
        m_prompt.inform(total.error(), Prompt::Icon::Critical);
        return false;
    }
    if (total.value() == 0) {
        if (m_options.blankCaptionWhenEmpty)
            m_caption->clear();
        Q_EMIT filled();
        return true;
    }

    m_pageCount = pagesFor(total.value(), m_options.pageSize);
    m_caption->setText(m_options.caption(m_pageCount, total.value(), m_options.pageSize));
    const qint64 offset = std::max<qint64>(0, (m_currentPage - 1) * m_options.pageSize);
    const Status rows = m_source.fill(offset, m_options.pageSize, total.value(), *m_list);
    if (!rows) {
        m_list->clear();
        m_prompt.inform(rows.error, Prompt::Icon::Critical);
    }
    m_next->setEnabled(m_currentPage < m_pageCount);
    m_previous->setEnabled(m_currentPage > 1);
    Q_EMIT filled();
    return rows.ok;
}

void PagedListView::resetPageBox()
{
    m_resettingBox = true;
    m_pages->setText(QString::number(m_currentPage));
    m_resettingBox = false;
}

void PagedListView::pageBoxEdited(const QString &text)
{
    if (m_resettingBox)
        return;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return;
    bool numeric = false;
    const double value = trimmed.toDouble(&numeric);
    const bool refused = !numeric || !std::isfinite(value) || trimmed.contains(QLatin1Char('+')) ||
                         trimmed.contains(QLatin1Char('-')) || trimmed.contains(QLatin1Char('$')) ||
                         trimmed.contains(QLatin1Char('.'));
    if (!refused)
        return;
    m_prompt.inform(notNumericText(), Prompt::Icon::None);
    resetPageBox();
}

void PagedListView::pageBoxEntered()
{
    bool numeric = false;
    const double page = m_pages->text().trimmed().toDouble(&numeric);
    // An empty box is no page at all.
    if (!numeric || page < 1 || page > double(m_pageCount)) {
        m_prompt.inform(noSuchPageText(), Prompt::Icon::None);
        resetPageBox();
        return;
    }
    m_currentPage = qint64(page);
    refill();
}

} // namespace parlix
