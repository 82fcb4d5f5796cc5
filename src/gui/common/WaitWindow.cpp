#include "gui/common/WaitWindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

namespace parlix {

WaitWindow::WaitWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frm_Wait"));
    setWindowTitle(QStringLiteral("Processing......"));
    setModal(false);
    auto *layout = new QHBoxLayout(this);
    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setPixmap(style()->standardIcon(QStyle::SP_BrowserReload).pixmap(32, 32));
    auto *text = new QLabel(QStringLiteral("Processing Please Wait ............"), this);
    text->setObjectName(QStringLiteral("lblWait"));
    layout->addWidget(picture);
    layout->addWidget(text);
    layout->setContentsMargins(18, 14, 18, 14);
    setFixedSize(sizeHint());
}

} // namespace parlix
