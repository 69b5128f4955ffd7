#include "KvConnect.h"

#include <QDebug>
#include <QMutex>

namespace {

// Function statics: a handler may be installed during static initialisation.
QMutex &handlerMutex()
{
    static QMutex mutex;
    return mutex;
}

KvConnectFailureHandler &installedHandler()
{
    static KvConnectFailureHandler handler;
    return handler;
}

QString describe(const QObject *o)
{
    if (!o)
        return QStringLiteral("(null)");
    const QString name = o->objectName();
    return QString::fromLatin1(o->metaObject()->className()) + (name.isEmpty() ? QString() : "/" + name);
}

// SIGNAL() and SLOT() put a code digit in front of the signature.
QString signature(const char *s)
{
    return s ? QString::fromLatin1(s + (*s >= '0' && *s <= '9' ? 1 : 0)) : QStringLiteral("(null)");
}

void report(const QString &what)
{
    KvConnectFailureHandler handler;
    {
        QMutexLocker lock(&handlerMutex());
        handler = installedHandler();
    }
    if (handler)
        handler(what);
    else
        qCritical().noquote() << what;
}

} // namespace

bool kvConnect(const QObject *sender, const char *signal, const QObject *receiver, const char *method,
               Qt::ConnectionType type)
{
    if (sender && receiver && QObject::connect(sender, signal, receiver, method, type))
        return true;
    const QString what = QStringLiteral("connect %1::%2 to %3::%4 failed")
                             .arg(describe(sender), signature(signal), describe(receiver), signature(method));
    report(what);
    return false;
}

void kvReportFailedInvoke(const QObject *object, const char *member)
{
    report(QStringLiteral("call of %1::%2 by name failed").arg(describe(object), QString::fromLatin1(member)));
}

KvConnectFailureHandler setKvConnectFailureHandler(KvConnectFailureHandler handler)
{
    QMutexLocker lock(&handlerMutex());
    std::swap(installedHandler(), handler);
    return handler;
}
