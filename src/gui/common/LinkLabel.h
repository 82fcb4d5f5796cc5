#pragma once

#include <QLabel>

namespace parlix {

// A label that acts as a link: clicked with the left button while enabled, drawn underlined
// while it can be followed.
class LinkLabel final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LinkLabel)

public:
    explicit LinkLabel(const QString &text, QWidget *parent = nullptr);

    // Enables the link and underlines it, or disables it and drops the underline.
    void setActive(bool active);

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void restyle();
};

} // namespace parlix
