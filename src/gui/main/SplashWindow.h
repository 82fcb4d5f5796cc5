#pragma once

#include <QDialog>

class QTimer;

namespace parlix {

// The product picture at start-up; closes on a click, a key or after three seconds.
class SplashWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SplashWindow)

public:
    explicit SplashWindow(QWidget *parent = nullptr, int timeoutMs = 3000);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QTimer *m_timer;
};

} // namespace parlix
