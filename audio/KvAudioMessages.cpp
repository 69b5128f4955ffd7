#include "KvAudioMessages.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMutex>
#include <QThread>

namespace {
QMutex g_mutex;
KvCriticalMessageHandler g_handler;

KvCriticalMessageHandler currentHandler()
{
    QMutexLocker lock(&g_mutex);
    return g_handler;
}
} // namespace

KvCriticalMessageHandler setKvCriticalMessageHandler(KvCriticalMessageHandler handler)
{
    QMutexLocker lock(&g_mutex);
    std::swap(g_handler, handler);
    return handler;
}

void kvCriticalMessage(const QString &text)
{
    const QString title = QCoreApplication::applicationName();
    QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        QMetaObject::invokeMethod(app, [title, text]() {
            if (const KvCriticalMessageHandler h = currentHandler())
                h(title, text);
            else
                qWarning().noquote() << title << ":" << text;
        }, Qt::QueuedConnection);
        return;
    }
    if (const KvCriticalMessageHandler h = currentHandler())
        h(title, text);
    else
        qWarning().noquote() << title << ":" << text;
}
