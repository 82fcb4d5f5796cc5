#include "gui/common/LinkLabel.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace parlix {

LinkLabel::LinkLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    setFocusPolicy(Qt::TabFocus); // reachable from the keyboard, Enter or Space follows it
    restyle();
}

void LinkLabel::setActive(bool active)
{
    setEnabled(active);
    restyle();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent *event)
{
    if (isEnabled() &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space)) {
        Q_EMIT clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void LinkLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        restyle();
    QLabel::changeEvent(event);
}

void LinkLabel::restyle()
{
    QFont f = font();
    f.setUnderline(isEnabled());
    setFont(f);
    setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
    setStyleSheet(isEnabled() ? QStringLiteral("color: #1d5fa8;") : QStringLiteral("color: #8a8f96;"));
}

} // namespace parlix
