#include "core/Sound.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

namespace parlix {

bool PlaySoundFile(const QString &fileName, bool async)
{
    const QFileInfo info(fileName);
    if (!info.isFile() || QCoreApplication::instance() == nullptr)
        return false;
    if (QMediaDevices::audioOutputs().isEmpty())
        return false;

    auto *effect = new QSoundEffect;
    effect->setSource(fileName.startsWith(QLatin1String(":/")) ? QUrl(QStringLiteral("qrc") + fileName)
                                                               : QUrl::fromLocalFile(info.absoluteFilePath()));
    QObject::connect(effect, &QSoundEffect::playingChanged, effect, [effect] {
        if (!effect->isPlaying())
            effect->deleteLater();
    });
    QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect] {
        if (effect->status() == QSoundEffect::Error)
            effect->deleteLater();
    });
    effect->play();
    if (!async) {
        QEventLoop loop;
        QObject::connect(effect, &QObject::destroyed, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

QString shippedSound(const QString &name)
{
    return QStringLiteral(":/sounds/") + name;
}

} // namespace parlix
