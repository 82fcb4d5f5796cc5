#pragma once

#include <QSqlDatabase>
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace parlix {

class Prompt;

// The country window: names, calling codes and the one default country. Deletes itself when
// closed.
class CountryWindow : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CountryWindow)

public:
    CountryWindow(QSqlDatabase db, Prompt &prompt, QWidget *parent = nullptr);

public Q_SLOTS:
    void save();
    void removeTicked();

private:
    void reload();
    void showRow(QTreeWidgetItem *item);
    void checkCode();
    void tickAll(bool ticked);
    void updateDeleteButton();

    QSqlDatabase m_db;
    Prompt &m_prompt;
    QTreeWidget *m_list = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_code = nullptr;
    QLineEdit *m_id = nullptr;
    QCheckBox *m_default = nullptr;
    QCheckBox *m_all = nullptr;
    QPushButton *m_delete = nullptr;
};

} // namespace parlix
