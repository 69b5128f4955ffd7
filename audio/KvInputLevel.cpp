#include "KvInputLevel.h"

#include <cmath>

KvInputLevel::KvInputLevel(std::unique_ptr<KvCaptureMixer> mixer) : m_mixer(std::move(mixer)) {}

KvInputLevel::~KvInputLevel() = default;

void KvInputLevel::setDevice(const QString &name)
{
    m_valid = false;
    m_mixerId = -1;
    const QString wanted = name;
    m_deviceName.clear();
    if (!m_mixer)
        return;
    const int index = m_mixer->findDevice(wanted);
    if (index < 0 || !m_mixer->hasVolume(index))
        return;
    m_valid = true;
    m_mixerId = index;
    m_deviceName = wanted;
}

void KvInputLevel::revalidate()
{
    if (m_deviceName.isEmpty() || !m_mixer)
        return;
    if (m_mixerId >= 0 && m_mixer->deviceNameAt(m_mixerId) == m_deviceName)
        return;
    // Devices were renumbered or removed: look the name up again.
    setDevice(m_deviceName);
}

float KvInputLevel::level()
{
    revalidate();
    quint32 value = 0;
    if (!m_valid || !m_mixer->readVolume(m_mixerId, &value))
        return -1.0f;
    return float(value / 65535.0);
}

void KvInputLevel::setLevel(float level)
{
    revalidate();
    quint32 current = 0;
    if (!m_valid || !m_mixer->readVolume(m_mixerId, &current))
        return;
    const double clamped = std::min(std::max(double(level), 0.0), 1.0);
    const quint32 wanted = quint32(std::trunc(clamped * 65535.0));
    if (wanted != current)
        m_mixer->writeVolume(m_mixerId, wanted);
}
