#pragma once
#include <KvAudioFile.h>
#include <KvAudioSink.h>
#include <KvQmlController.h>
#include <KvEngineFactories.h>
#include <KvMP3AudioFragmentList.h>
#include <KvMP3FrameSizeInfo.h>
#include <KvMP3RepackInfo.h>
#include <KvNullAudioSink.h>
#include <KvQmlModel.h>
#include <KvRepackInfo.h>
#include <KvRepackInfoPtrList.h>
#include <KvTestSupport.h>

#include <QMetaMethod>
#include <QSignalSpy>
#include <QStringList>

#include <memory>
#include <ostream>
#include <vector>

// A document cursor over `frames` frames of silence (MPEG-1, 44.1 kHz,
// stereo); an empty document for 0.
inline KvQmlModel::FragmentListPtr kvSilentDocument(qint64 frames)
{
    KvQmlModel::FragmentListPtr cursor(new KvMP3AudioFragmentList);
    if (frames > 0) {
        const boost::shared_ptr<KvFrameSizeInfo> format(new KvMP3FrameSizeInfo(0, 0, 0));
        cursor->list()->appendFragment(KvRepackInfoPtr(new KvMP3RepackInfo(format, frames)));
    }
    return cursor;
}

// A document cursor over the whole of an audio file, as the engine opens it;
// null with the engine's complaint in `error` when it cannot.
inline KvQmlModel::FragmentListPtr kvDocumentOfFile(const QString &path, QString *error)
{
    bool heAac = false;
    const boost::shared_ptr<KvAudioFile> file = createAudioFileByExtension(path, heAac, *error);
    if (!file || !error->isEmpty())
        return KvQmlModel::FragmentListPtr();
    const KvRepackInfoPtr whole = file->createRepackInfo(0, file->frameCount());
    const KvQmlModel::FragmentListPtr cursor = createFragmentListForFile(whole);
    cursor->list()->appendFragment(whole);
    return cursor;
}

// Opens the whole of an audio file as the model's document and tells the
// controller; the cursor, or null with the engine's complaint in `error`.
inline KvQmlModel::FragmentListPtr kvOpenDocument(KvQmlController &controller, KvQmlModel &model, const QString &path,
                                                  QString *error)
{
    controller.setModel(&model);
    const KvQmlModel::FragmentListPtr cursor = kvDocumentOfFile(path, error);
    if (!cursor)
        return cursor;
    model.setFragmentList(cursor);
    controller.refreshDocumentState();
    return cursor;
}

// While it lives, playback opens this device.
class ScopedDevice
{
public:
    explicit ScopedDevice(KvAudioOutputDevicePtr device)
        : m_previous(setKvAudioOutputDeviceFactory([device] { return device; }))
    {
    }
    ~ScopedDevice() { setKvAudioOutputDeviceFactory(m_previous); }

private:
    KvAudioOutputDeviceFactory m_previous;
};

// Drives the output's time on, 20 ms a step, until playback has stopped or
// maxSteps have passed, serving the controller's events for serveMs between
// steps.
inline void kvPlayUntilStopped(KvQmlController &controller, KvNullAudioClock &clock, int maxSteps, int serveMs)
{
    for (int step = 0; step < maxSteps && controller.playState() != 0; ++step) {
        clock.advance(20000);
        clock.waitUntilCaughtUp(2000);
        kvtest::waitFor([] { return false; }, serveMs);
    }
}

// A spy that also writes each emission, with its first argument, to a log
// shared by all spies, so the order across signals can be checked.
class OrderedSpy : public QSignalSpy
{
public:
    OrderedSpy(QObject *object, const QByteArray &signal, QStringList *log, const QString &name)
        : QSignalSpy(object, signal.constData()), m_log(log), m_name(name)
    {
    }
    int qt_metacall(QMetaObject::Call call, int id, void **a) override
    {
        const int before = count();
        const int r = QSignalSpy::qt_metacall(call, id, a);
        if (count() > before) {
            const QList<QVariant> args = last();
            *m_log << m_name + (args.isEmpty() ? QString() : "(" + args.at(0).toString() + ")");
        }
        return r;
    }

private:
    QStringList *m_log;
    QString m_name;
};

// Records every signal of the controller in emission order.
class Recorder
{
public:
    explicit Recorder(QObject *c)
    {
        const QMetaObject *mo = c->metaObject();
        for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
            const QMetaMethod m = mo->method(i);
            if (m.methodType() == QMetaMethod::Signal)
                m_spies.emplace_back(new OrderedSpy(c, "2" + m.methodSignature(), &m_log, m.name()));
        }
    }
    QStringList take()
    {
        const QStringList out = m_log;
        m_log.clear();
        return out;
    }

private:
    QStringList m_log;
    std::vector<std::unique_ptr<OrderedSpy>> m_spies;
};

// Failed comparisons of texts and text lists show the texts.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }
