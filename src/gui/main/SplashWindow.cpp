#include "gui/main/SplashWindow.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace parlix {

SplashWindow::SplashWindow(QWidget *parent, int timeoutMs)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("frmSplash"));
    setModal(true);
    setStyleSheet(QStringLiteral("QDialog { background: #1f3b5c; } QLabel { color: white; }"));
    auto *layout = new QVBoxLayout(this);
    auto *title = new QLabel(QStringLiteral("Parlix"), this);
    title->setObjectName(QStringLiteral("lblProduct"));
    title->setStyleSheet(QStringLiteral("font-size: 42px; font-weight: bold;"));
    auto *subtitle = new QLabel(QStringLiteral("SMS Gateway  -  Kovax"), this);
    subtitle->setStyleSheet(QStringLiteral("font-size: 16px;"));
    auto *version = new QLabel(QStringLiteral("Version %1").arg(QStringLiteral(PARLIX_VERSION_STRING)), this);
    layout->addStretch();
    layout->addWidget(title, 0, Qt::AlignCenter);
    layout->addWidget(subtitle, 0, Qt::AlignCenter);
    layout->addStretch();
    layout->addWidget(version, 0, Qt::AlignRight);
    resize(480, 280);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &QDialog::accept);
    m_timer->start(timeoutMs);
}

void SplashWindow::mousePressEvent(QMouseEvent *)
{
    accept();
}

void SplashWindow::keyPressEvent(QKeyEvent *)
{
    accept();
}

} // namespace parlix
