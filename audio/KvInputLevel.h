#pragma once
// Recording volume of one capture device, as 0.0 .. 1.0 for the recording dialog's slider.
// The control is found by the capture device's name; -1.0 means there is none.
#include <QObject>
#include <QString>

#include <memory>

// The platform's capture-volume controls. Values are on a fixed scale of 0 .. 65535.
class KvCaptureMixer {
public:
    virtual ~KvCaptureMixer() = default;
    // Index of the mixer that serves the named capture device, or -1.
    virtual int findDevice(const QString &deviceName) = 0;
    // The name that index answers to now (empty when it is gone).
    virtual QString deviceNameAt(int index) = 0;
    virtual bool hasVolume(int index) = 0;
    virtual bool readVolume(int index, quint32 *value) = 0;
    virtual bool writeVolume(int index, quint32 value) = 0;
};

// ALSA: the "Capture" control of the card behind the device (the default card's for
// "default"), through libasound's simple mixer.
std::unique_ptr<KvCaptureMixer> kvCreateAlsaCaptureMixer();

class KvInputLevel : public QObject {
    Q_OBJECT
public:
    explicit KvInputLevel(std::unique_ptr<KvCaptureMixer> mixer = kvCreateAlsaCaptureMixer());
    ~KvInputLevel() override;

    void setDevice(const QString &name);
    float level();
    void setLevel(float level);
    bool isValid() const { return m_valid; }
    QString deviceName() const { return m_deviceName; }

private:
    void revalidate();

    std::unique_ptr<KvCaptureMixer> m_mixer;
    int m_mixerId = -1;
    bool m_valid = false;
    QString m_deviceName;
};
