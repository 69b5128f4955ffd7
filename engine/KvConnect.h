#pragma once
// String-based connections are checked only at run time: a misspelt signature
// connects nothing and Qt merely prints a warning. Every string-based connect
// of the program goes through kvConnect, which reports a failure loudly
// through one replaceable handler (by default a critical log line; the tests
// turn it into a test failure).
#include <QObject>

#include <functional>

bool kvConnect(const QObject *sender, const char *signal, const QObject *receiver, const char *method,
               Qt::ConnectionType type = Qt::AutoConnection);

// Called with a description of each failed connect. Returns the handler
// installed before; an empty handler restores the default.
using KvConnectFailureHandler = std::function<void(const QString &what)>;
KvConnectFailureHandler setKvConnectFailureHandler(KvConnectFailureHandler handler);

// Reports a failed call by name through the handler.
void kvReportFailedInvoke(const QObject *object, const char *member);

// A call by name through the meta-object (a slot or an invokable), checked
// the same way: args are Q_ARG(...) values, optionally led by one
// Q_RETURN_ARG(...). Auto connection: direct on the object's own thread.
template<typename... Args>
bool kvInvoke(QObject *object, const char *member, Args... args)
{
    if (object && QMetaObject::invokeMethod(object, member, Qt::AutoConnection, args...))
        return true;
    kvReportFailedInvoke(object, member);
    return false;
}
