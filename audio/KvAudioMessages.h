#pragma once
// How the audio layer tells the user about a failure it cannot handle itself. The audio
// library has no widgets: the application installs a handler that shows its critical
// message box. Without one the text goes to the warning log.
#include <QString>

#include <functional>

// title: the application name; text: the message.
typedef std::function<void(const QString &title, const QString &text)> KvCriticalMessageHandler;

// Installs the handler process-wide; returns the previous one.
KvCriticalMessageHandler setKvCriticalMessageHandler(KvCriticalMessageHandler handler);

// Shows text through the handler on the application's thread: from any other thread (the
// play thread) the call is queued there and this returns at once, so a worker that the
// GUI thread is waiting for never waits for a message box.
void kvCriticalMessage(const QString &text);
