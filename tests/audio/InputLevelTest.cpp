// The input level over a mixer whose devices and controls the test sets up.
#include <KvInputLevel.h>

#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct MixerState {
    QStringList devices;  // index = mixer id; empty name = device without a volume control
    QList<quint32> values;
    int writes = 0;
    int lookups = 0;
};

class FakeMixer : public KvCaptureMixer {
public:
    explicit FakeMixer(std::shared_ptr<MixerState> s) : m_s(std::move(s)) {}
    int findDevice(const QString &name) override
    {
        ++m_s->lookups;
        if (name == "default")
            return m_s->devices.isEmpty() ? -1 : 0;
        return m_s->devices.indexOf(name);
    }
    QString deviceNameAt(int index) override
    {
        return index >= 0 && index < m_s->devices.size() ? m_s->devices.at(index) : QString();
    }
    bool hasVolume(int index) override { return index >= 0 && index < m_s->values.size(); }
    bool readVolume(int index, quint32 *value) override
    {
        if (!hasVolume(index))
            return false;
        *value = m_s->values.at(index);
        return true;
    }
    bool writeVolume(int index, quint32 value) override
    {
        if (!hasVolume(index))
            return false;
        ++m_s->writes;
        m_s->values[index] = value;
        return true;
    }

private:
    std::shared_ptr<MixerState> m_s;
};

} // namespace

TEST(InputLevel, ReadsAndWritesOnTheFixedScale)
{
    auto s = std::make_shared<MixerState>();
    s->devices = QStringList{"Line In", "Mic"};
    s->values = {65535, 32768};
    KvInputLevel level(std::unique_ptr<KvCaptureMixer>(new FakeMixer(s)));
    level.setDevice("Mic");
    ASSERT_TRUE(level.isValid());
    EXPECT_FLOAT_EQ(level.level(), float(32768 / 65535.0));

    level.setLevel(0.25f);
    EXPECT_EQ(s->values[1], quint32(16383));  // trunc(0.25 * 65535)
    EXPECT_EQ(s->writes, 1);
    level.setLevel(0.25f);
    EXPECT_EQ(s->writes, 1) << "writing the value already set issues no write";
    level.setLevel(1.0f);
    EXPECT_EQ(s->values[1], quint32(65535));
    EXPECT_EQ(s->values[0], quint32(65535)) << "only the chosen device changes";
}

TEST(InputLevel, WithoutAControlTheLevelIsUnknown)
{
    auto s = std::make_shared<MixerState>();
    s->devices = QStringList{"Line In", "USB Mic"};
    s->values = {1000};  // the USB microphone has no volume control
    KvInputLevel level(std::unique_ptr<KvCaptureMixer>(new FakeMixer(s)));
    for (const QString &name : {QString("USB Mic"), QString("Nowhere"), QString()}) {
        level.setDevice(name);
        EXPECT_FALSE(level.isValid());
        EXPECT_EQ(level.level(), -1.0f) << name.toStdString();
        level.setLevel(0.5f);
        EXPECT_EQ(s->writes, 0);
    }
    KvInputLevel none(nullptr);
    none.setDevice("Line In");
    EXPECT_EQ(none.level(), -1.0f);
}

TEST(InputLevel, DefaultTakesTheFirstDevice)
{
    auto s = std::make_shared<MixerState>();
    s->devices = QStringList{"Line In"};
    s->values = {0};
    KvInputLevel level(std::unique_ptr<KvCaptureMixer>(new FakeMixer(s)));
    level.setDevice("default");
    EXPECT_EQ(level.level(), 0.0f);
}

TEST(InputLevel, RenumberedDevicesAreFoundAgainByName)
{
    auto s = std::make_shared<MixerState>();
    s->devices = QStringList{"Line In", "Mic"};
    s->values = {100, 200};
    KvInputLevel level(std::unique_ptr<KvCaptureMixer>(new FakeMixer(s)));
    level.setDevice("Mic");
    const int lookups = s->lookups;
    EXPECT_FLOAT_EQ(level.level(), float(200 / 65535.0));
    EXPECT_EQ(s->lookups, lookups) << "an unchanged device is not searched again";

    s->devices = QStringList{"Mic", "Line In"};  // a device came and went: the numbers moved
    s->values = {300, 100};
    EXPECT_FLOAT_EQ(level.level(), float(300 / 65535.0));
    level.setLevel(0.0f);
    EXPECT_EQ(s->values[0], quint32(0));
    EXPECT_EQ(s->values[1], quint32(100));

    s->devices = QStringList{"Line In"};  // unplugged
    s->values = {100};
    EXPECT_EQ(level.level(), -1.0f);
}
