#include "gui/settings/ModemSearchWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace parlix {

namespace {
enum GridColumn { IndexColumn, PortColumn, ManufacturerColumn, ModelColumn };
}

ModemSearchWindow::ModemSearchWindow(const QStringList &ports, double delayFactor, ActivityLog &log, Prompt &prompt,
                                     QWidget *parent)
    : QDialog(parent)
    , m_search(new ModemSearch(ports, delayFactor, log, prompt, this))
{
    m_blocking.emplace();
    setObjectName(QStringLiteral("frm_ChekModemProgress"));
    setWindowTitle(QStringLiteral("Please Wait.........."));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);

    m_bar = new QProgressBar;
    m_bar->setObjectName(QStringLiteral("ProgBar"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_percent = new QLabel(QStringLiteral("0%"));
    m_percent->setObjectName(QStringLiteral("lblPercent"));
    m_port = new QLabel;
    m_port->setObjectName(QStringLiteral("lblPort"));
    auto *cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    auto *barRow = new QHBoxLayout;
    barRow->addWidget(m_bar, 1);
    barRow->addWidget(m_percent);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Searching for a modem connected to this computer")));
    layout->addLayout(barRow);
    layout->addWidget(m_port);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    resize(420, 140);

    connect(m_search, &ModemSearch::progress, this, [this](int percent, const QString &port) {
        showProgress(percent);
        m_port->setText(port);
    });
    connect(m_search, &ModemSearch::finished, this, &ModemSearchWindow::onFinished);
}

ModemSearchWindow::~ModemSearchWindow() = default;

void ModemSearchWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_search->start();
}

void ModemSearchWindow::showProgress(int percent)
{
    m_bar->setValue(percent);
    m_percent->setText(QString::number(percent) + QLatin1Char('%'));
}

void ModemSearchWindow::onFinished(const QVector<FoundModem> &found, bool cancelled)
{
    m_done = true;
    if (!cancelled) {
        showProgress(100);
        Q_EMIT modemsFound(found);
    }
    close();
}

void ModemSearchWindow::closeEvent(QCloseEvent *event)
{
    // Closing before the end is Cancel: the search stops and nothing is shown.
    if (!m_done)
        m_search->cancel();
    m_blocking.reset();
    QDialog::closeEvent(event);
}

FoundModemsWindow::FoundModemsWindow(const QVector<FoundModem> &found, QWidget *parent)
    : QDialog(parent)
{
    m_blocking.emplace();
    setObjectName(QStringLiteral("Frm_FoundModemPortNumbers"));
    setWindowTitle(QStringLiteral("Select Your Modem"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);

    m_grid = new QTableWidget(0, 4);
    m_grid->setObjectName(QStringLiteral("MshNumbers"));
    m_grid->setHorizontalHeaderLabels({QString(), QStringLiteral("Port Number"), QStringLiteral(" Manufacturer Id"),
                                       QStringLiteral(" Model Number")});
    m_grid->verticalHeader()->setVisible(false);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);
    m_grid->setColumnWidth(IndexColumn, 24);
    m_grid->setColumnWidth(PortColumn, 67);
    m_grid->setColumnWidth(ManufacturerColumn, 180);
    m_grid->setColumnWidth(ModelColumn, 180);
    m_grid->horizontalHeader()->setStretchLastSection(true);

    for (qsizetype i = 0; i < found.size(); ++i) {
        const FoundModem &m = found.at(i);
        if (m.port.trimmed().isEmpty())
            continue;
        const int row = m_grid->rowCount();
        m_grid->insertRow(row);
        m_grid->setItem(row, IndexColumn, new QTableWidgetItem(QString::number(i)));
        m_grid->setItem(row, PortColumn, new QTableWidgetItem(m.port));
        auto *manufacturer = new QTableWidgetItem(m.manufacturer);
        QFont bold = manufacturer->font();
        bold.setBold(true);
        manufacturer->setFont(bold);
        manufacturer->setForeground(QColor(Qt::blue));
        manufacturer->setToolTip(QStringLiteral("Click to use this modem"));
        m_grid->setItem(row, ManufacturerColumn, manufacturer);
        m_grid->setItem(row, ModelColumn, new QTableWidgetItem(m.model));
    }
    // Device paths are longer than the numbers the column was sized for.
    m_grid->resizeColumnToContents(PortColumn);
    connect(m_grid, &QTableWidget::cellClicked, this, &FoundModemsWindow::onCellClicked);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Found Modems : ")));
    layout->addWidget(
        new QLabel(QStringLiteral(" Please select the modem which you wish to use with this application")));
    layout->addWidget(m_grid);
    resize(520, 260);
}

void FoundModemsWindow::onCellClicked(int row, int column)
{
    if (column != ManufacturerColumn)
        return;
    const QTableWidgetItem *port = m_grid->item(row, PortColumn);
    if (port == nullptr || port->text().trimmed().isEmpty())
        return;
    m_selectPortFromList = true;
    Q_EMIT modemChosen(port->text().trimmed());
    close();
}

void FoundModemsWindow::closeEvent(QCloseEvent *event)
{
    m_blocking.reset();
    QDialog::closeEvent(event);
}

} // namespace parlix
