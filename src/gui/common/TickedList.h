#pragma once

#include <QList>
#include <QVector>

class QTreeWidget;
class QTreeWidgetItem;

namespace parlix {

// The lists whose rows carry a tick box in one column, for the windows that delete the
// ticked rows ("Select All", "Delete Selected").

// Ticks or clears every row without announcing each change (itemChanged stays quiet).
void setAllTicked(QTreeWidget *list, int tickColumn, bool ticked);
bool anyTicked(const QTreeWidget *list, int tickColumn);
QList<QTreeWidgetItem *> tickedItems(const QTreeWidget *list, int tickColumn);
// The numbers the key column holds for the ticked rows, top to bottom.
QVector<qint64> tickedKeys(const QTreeWidget *list, int tickColumn, int keyColumn);

} // namespace parlix
