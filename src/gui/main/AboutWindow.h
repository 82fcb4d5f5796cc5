#pragma once

#include <QDialog>

namespace parlix {

// frm_About: the program's title and its version as major.minor.revision.
class AboutWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutWindow)

public:
    explicit AboutWindow(QWidget *parent = nullptr);

    static QString versionText();
};

} // namespace parlix
