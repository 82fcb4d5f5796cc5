#include "gui/common/TickedList.h"

#include <QSignalBlocker>
#include <QTreeWidget>

namespace parlix {

void setAllTicked(QTreeWidget *list, int tickColumn, bool ticked)
{
    const QSignalBlocker quiet(list);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        list->topLevelItem(i)->setCheckState(tickColumn, ticked ? Qt::Checked : Qt::Unchecked);
}

bool anyTicked(const QTreeWidget *list, int tickColumn)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->checkState(tickColumn) == Qt::Checked)
            return true;
    }
    return false;
}

QList<QTreeWidgetItem *> tickedItems(const QTreeWidget *list, int tickColumn)
{
    QList<QTreeWidgetItem *> out;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->checkState(tickColumn) == Qt::Checked)
            out << list->topLevelItem(i);
    }
    return out;
}

QVector<qint64> tickedKeys(const QTreeWidget *list, int tickColumn, int keyColumn)
{
    QVector<qint64> keys;
    for (const QTreeWidgetItem *item : tickedItems(list, tickColumn))
        keys << item->text(keyColumn).trimmed().toLongLong();
    return keys;
}

} // namespace parlix
