// Capture volume through ALSA's simple mixer.
#include "KvInputLevel.h"

#include <alsa/asoundlib.h>

#include <QRegularExpression>

#include <cmath>
#include <vector>

namespace {

// The control device behind a capture device name as Qt's back-ends spell them:
// "default", "sysdefault:CARD=X", "hw:CARD=X,DEV=0", "plughw:1,0" ...
QString controlFor(const QString &deviceName)
{
    if (deviceName == QLatin1String("default") || deviceName.startsWith(QLatin1String("default:")))
        return QStringLiteral("default");
    const QRegularExpressionMatch card =
        QRegularExpression(QStringLiteral("CARD=([^,]+)")).match(deviceName);
    if (card.hasMatch())
        return QStringLiteral("hw:") + card.captured(1);
    const QRegularExpressionMatch hw =
        QRegularExpression(QStringLiteral("^(?:plug)?hw:([^,]+)")).match(deviceName);
    if (hw.hasMatch())
        return QStringLiteral("hw:") + hw.captured(1);
    return QString();
}

struct Mixer {
    QString deviceName;
    QString control;
    snd_mixer_t *handle = nullptr;
    snd_mixer_elem_t *elem = nullptr;
    long min = 0;
    long max = 0;
};

class AlsaCaptureMixer : public KvCaptureMixer {
public:
    ~AlsaCaptureMixer() override
    {
        for (Mixer &m : m_mixers)
            closeMixer(m);
    }

    int findDevice(const QString &deviceName) override
    {
        const QString control = controlFor(deviceName);
        if (control.isEmpty())
            return -1;
        for (size_t i = 0; i < m_mixers.size(); ++i)
            if (m_mixers[i].deviceName == deviceName && m_mixers[i].handle)
                return int(i);
        Mixer m;
        m.deviceName = deviceName;
        m.control = control;
        if (!openMixer(m))
            return -1;
        m_mixers.push_back(m);
        return int(m_mixers.size() - 1);
    }

    QString deviceNameAt(int index) override
    {
        Mixer *m = at(index);
        if (!m)
            return QString();
        // A card that went away makes the event poll fail; the control is then gone.
        if (snd_mixer_handle_events(m->handle) < 0) {
            closeMixer(*m);
            return QString();
        }
        return m->deviceName;
    }

    bool hasVolume(int index) override { return at(index) != nullptr; }

    bool readVolume(int index, quint32 *value) override
    {
        Mixer *m = at(index);
        long raw = 0;
        if (!m || snd_mixer_selem_get_capture_volume(m->elem, SND_MIXER_SCHN_FRONT_LEFT, &raw) < 0)
            return false;
        const double span = double(m->max - m->min);
        *value = quint32(std::lround(double(raw - m->min) * 65535.0 / span));
        return true;
    }

    bool writeVolume(int index, quint32 value) override
    {
        Mixer *m = at(index);
        if (!m)
            return false;
        const long raw = m->min + std::lround(double(value) * double(m->max - m->min) / 65535.0);
        return snd_mixer_selem_set_capture_volume_all(m->elem, raw) >= 0;
    }

private:
    Mixer *at(int index)
    {
        if (index < 0 || size_t(index) >= m_mixers.size() || !m_mixers[size_t(index)].elem)
            return nullptr;
        return &m_mixers[size_t(index)];
    }

    static bool openMixer(Mixer &m)
    {
        if (snd_mixer_open(&m.handle, 0) < 0) {
            m.handle = nullptr;
            return false;
        }
        const QByteArray name = m.control.toLocal8Bit();
        if (snd_mixer_attach(m.handle, name.constData()) < 0
            || snd_mixer_selem_register(m.handle, nullptr, nullptr) < 0
            || snd_mixer_load(m.handle) < 0) {
            closeMixer(m);
            return false;
        }
        snd_mixer_selem_id_t *sid = nullptr;
        snd_mixer_selem_id_alloca(&sid);
        snd_mixer_selem_id_set_index(sid, 0);
        snd_mixer_selem_id_set_name(sid, "Capture");
        snd_mixer_elem_t *elem = snd_mixer_find_selem(m.handle, sid);
        if (!elem || !snd_mixer_selem_has_capture_volume(elem)
            || snd_mixer_selem_get_capture_volume_range(elem, &m.min, &m.max) < 0 || m.max <= m.min) {
            closeMixer(m);
            return false;
        }
        m.elem = elem;
        return true;
    }

    static void closeMixer(Mixer &m)
    {
        if (m.handle)
            snd_mixer_close(m.handle);
        m.handle = nullptr;
        m.elem = nullptr;
    }

    std::vector<Mixer> m_mixers;
};

} // namespace

std::unique_ptr<KvCaptureMixer> kvCreateAlsaCaptureMixer()
{
    return std::unique_ptr<KvCaptureMixer>(new AlsaCaptureMixer);
}
