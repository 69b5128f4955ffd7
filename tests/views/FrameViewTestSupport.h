#pragma once
// A document of chosen frame levels for the frame view tests: levels and
// fragment seams by frame, counted reads, and a track list.
#include <KvAudioFragmentList.h>
#include <KvFileProperties.h>
#include <KvFrameGeometry.h>
#include <KvTagProperty.h>

#include <QColor>
#include <QImage>

#include <boost/make_shared.hpp>

#include <cstdlib>
#include <ostream>
#include <vector>

namespace kvtest {

class FakeLevels : public KvAudioFragmentList {
public:
    explicit FakeLevels(qint64 frames, qint16 level = 128) : levels(size_t(frames), level), seams(size_t(frames)) {}

    qint64 totalFrames() const override { return qint64(levels.size()); }
    qint16 seekFrame(qint64 position, bool *isFirst) override
    {
        ++seeks;
        m_position = position;
        return at(isFirst);
    }
    qint16 nextFrameLevel(bool *isFirst) override
    {
        ++reads;
        ++m_position;
        return at(isFirst);
    }

    std::vector<qint16> levels;
    std::vector<bool> seams;
    int seeks = 0;
    int reads = 0;

private:
    qint16 at(bool *isFirst) const
    {
        const bool inside = m_position >= 0 && m_position < qint64(levels.size());
        if (isFirst)
            *isFirst = inside && seams[size_t(m_position)];
        return inside ? levels[size_t(m_position)] : qint16(-1);
    }
    qint64 m_position = 0;
};

// A state over the fake document: light look, no pixel scaling.
inline KvFrameViewState stateOver(FakeLevels &levels, int hZoom, double scroll)
{
    KvFrameViewState s;
    s.frames = &levels;
    s.totalFrames = levels.totalFrames();
    s.hZoom = hZoom;
    s.scrollFrame = scroll;
    s.ceiling = 255.0;
    s.floor = 0.0;
    return s;
}

inline void addTrack(KvFileProperties &tracks, qint64 start, qint64 end, const QString &title = QString())
{
    KvTagInfo tags;
    tags.title = title;
    tracks.appendTrack(boost::make_shared<KvTagProperty>(start, end, tags));
}

// Colours compared with room for the rounding of blends.
struct Rgb {
    QColor c;
};
inline bool operator==(const Rgb &a, const Rgb &b)
{
    return std::abs(a.c.red() - b.c.red()) <= 2 && std::abs(a.c.green() - b.c.green()) <= 2
        && std::abs(a.c.blue() - b.c.blue()) <= 2;
}
inline bool operator!=(const Rgb &a, const Rgb &b)
{
    return !(a == b);
}
inline std::ostream &operator<<(std::ostream &os, const Rgb &c)
{
    return os << c.c.name().toStdString();
}
inline Rgb pixel(const QImage &image, int x, int y)
{
    return Rgb{image.pixelColor(x, y)};
}
inline Rgb rgb(const QColor &c)
{
    return Rgb{c};
}
// `over` drawn with its alpha on `under`.
inline Rgb blend(const QColor &over, const QColor &under)
{
    const double a = over.alphaF();
    return Rgb{QColor(int(over.red() * a + under.red() * (1 - a)), int(over.green() * a + under.green() * (1 - a)),
                      int(over.blue() * a + under.blue() * (1 - a)))};
}

} // namespace kvtest
