#pragma once

#include "config/ModemProbe.h"
#include "core/BlockingWindow.h"

#include <QDialog>

#include <optional>

class QLabel;
class QProgressBar;
class QTableWidget;

namespace parlix {

// frm_ChekModemProgress: runs the modem search while showing its progress. Cancel stops it and
// closes the window without a result. A completed search announces the modems found (possibly
// none) and closes. Deletes itself when closed.
class ModemSearchWindow : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ModemSearchWindow)

public:
    ModemSearchWindow(const QStringList &ports, double delayFactor, ActivityLog &log, Prompt &prompt,
                      QWidget *parent = nullptr);
    ~ModemSearchWindow() override;

Q_SIGNALS:
    void modemsFound(const QVector<parlix::FoundModem> &found);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void showProgress(int percent);
    void onFinished(const QVector<FoundModem> &found, bool cancelled);

    std::optional<BlockingWindowGuard> m_blocking;
    ModemSearch *m_search = nullptr;
    QProgressBar *m_bar = nullptr;
    QLabel *m_percent = nullptr;
    QLabel *m_port = nullptr;
    bool m_done = false;
};

// Frm_FoundModemPortNumbers: the modems a search found. A click on a manufacturer cell picks that
// modem (modemChosen) and closes the window. Deletes itself when closed.
class FoundModemsWindow : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FoundModemsWindow)

public:
    explicit FoundModemsWindow(const QVector<FoundModem> &found, QWidget *parent = nullptr);

    // True once the operator picked a modem from the grid.
    bool selectPortFromList() const { return m_selectPortFromList; }

Q_SIGNALS:
    void modemChosen(const QString &port);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void onCellClicked(int row, int column);

    std::optional<BlockingWindowGuard> m_blocking;
    QTableWidget *m_grid = nullptr;
    bool m_selectPortFromList = false;
};

} // namespace parlix
