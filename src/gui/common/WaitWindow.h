#pragma once

#include <QDialog>

namespace parlix {

// "Processing Please Wait": shown while a long operation runs elsewhere.
class WaitWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WaitWindow)

public:
    explicit WaitWindow(QWidget *parent = nullptr);
};

} // namespace parlix
