#pragma once

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

#include <gtest/gtest.h>

namespace parlix::test {

// The control a test drives, found by its objectName; a missing one fails the test.
template <typename W = QWidget> W *child(const QObject *parent, const char *name)
{
    W *w = parent->findChild<W *>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << "no control named " << name;
    return w;
}

// Real clicks on real widgets: the item's own rectangle in its view's viewport.
inline void clickItem(QTreeWidget *view, QTreeWidgetItem *item, Qt::MouseButton button = Qt::LeftButton, int column = 0,
                      Qt::KeyboardModifiers modifiers = {})
{
    view->scrollToItem(item);
    QRect rect = view->visualItemRect(item);
    const int x = view->header()->sectionViewportPosition(column) + 4;
    QTest::mouseClick(view->viewport(), button, modifiers, QPoint(x, rect.center().y()));
}

// A right click: the button, then the context menu request the platform makes of it.
inline void rightClickItem(QTreeWidget *view, QTreeWidgetItem *item, int column = 0)
{
    clickItem(view, item, Qt::RightButton, column);
    const QRect rect = view->visualItemRect(item);
    const QPoint at(view->header()->sectionViewportPosition(column) + 4, rect.center().y());
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
}

inline void clickHeader(QTreeWidget *view, int section)
{
    QHeaderView *header = view->header();
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

inline QStringList columnTexts(const QTreeWidget *view, int column)
{
    QStringList out;
    for (int i = 0; i < view->topLevelItemCount(); ++i)
        out << view->topLevelItem(i)->text(column);
    return out;
}

// Runs handle on the next modal window of type T as soon as it is shown (a modal window's
// own event loop would otherwise hold the test until someone closes it).
template <typename T> void whenModal(std::function<void(T *)> handle)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, handle] {
        if (auto *w = qobject_cast<T *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            handle(w);
        }
    });
    poll->start();
}

} // namespace parlix::test
