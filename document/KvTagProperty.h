#pragma once
#include "KvTagInfo.h"

#include <QtGlobal>

#include <boost/shared_ptr.hpp>

#include <limits>

// A track (a frame range of the document with its own tag record), or the
// whole-file tag property of the model, where only the record matters.
class KvTagProperty
{
public:
    // Track end meaning "to the end of the document", however long it becomes.
    static constexpr qint64 EndMarker = std::numeric_limits<qint64>::max();

    // A property as the archive loader makes it: no range, default record.
    KvTagProperty() = default;
    KvTagProperty(qint64 start, qint64 end, const KvTagInfo &tags = KvTagInfo())
        : m_start(start), m_end(end), m_tags(tags) {}
    virtual ~KvTagProperty() = default;

    virtual qint64 start() const { return m_start; }
    virtual void setStart(qint64 start) { m_start = start; }
    virtual qint64 end() const { return m_end; }
    virtual void setEnd(qint64 end) { m_end = end; }
    virtual QString artist() const { return m_tags.artist; }
    // Display and file name of the track: pattern placeholders %00N, %0N, %N
    // (number), %T (title) and %A (artist).
    virtual QString formatTrackName(int number, bool useNumber, QString pattern) const;
    virtual KvTagInfo &tagInfo() { return m_tags; }
    virtual void setArtist(const QString &artist) { m_tags.artist = artist; }
    virtual void setTitle(const QString &title) { m_tags.title = title; }
    virtual void setTagInfo(const KvTagInfo &tags) { m_tags = tags; }

    const KvTagInfo &tagInfo() const { return m_tags; }

private:
    qint64 m_start = -1;
    qint64 m_end = -1;
    KvTagInfo m_tags;
};

using KvTagPropertyPtr = boost::shared_ptr<KvTagProperty>;
