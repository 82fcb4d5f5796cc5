#include "gui/main/AboutWindow.h"

#include "core/Prompt.h"
#include "gui/common/Icons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace parlix {

QString AboutWindow::versionText()
{
    return QStringLiteral("%1.%2.%3").arg(PARLIX_VERSION_MAJOR).arg(PARLIX_VERSION_MINOR).arg(PARLIX_VERSION_PATCH);
}

AboutWindow::AboutWindow(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frm_About"));
    setWindowTitle(QStringLiteral("About"));
    setWindowIcon(icons::app());
    setModal(true);

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setPixmap(icons::app().pixmap(72, 72));
    picture->setAlignment(Qt::AlignTop);

    auto *text = new QPlainTextEdit(this);
    text->setObjectName(QStringLiteral("txtAbout"));
    text->setReadOnly(true);
    text->setPlainText(QStringLiteral("Version ") + versionText() + QLatin1Char('\n') + appTitle());
    text->setFixedHeight(64);
    text->setFrameShape(QFrame::NoFrame);
    text->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; font-size: 11pt; }"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *top = new QHBoxLayout;
    top->addWidget(picture);
    top->addSpacing(12);
    top->addWidget(text, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    resize(380, 150);
}

} // namespace parlix
