// The Xing (variable bitrate) or Info (constant bitrate) frame that leads a
// saved MP3 file: frame and byte totals and, for variable bitrate, a
// 100-entry seek table, all computed from the plan before anything streams.
#include "KvMP3RepackInfoPtrList.h"

#include "KvBitStream.h"
#include "KvFrameSizeInfo.h"
#include "KvMP3FrameSizeInfo.h"
#include "KvMp3FrameLayout.h"
#include "KvMp3FrameSpans.h"
#include "KvMp3Records.h"

#include <QIODevice>

#include <algorithm>

namespace {

// Tag, flags, frame total and byte total.
constexpr int kXingFields = 16;
constexpr int kTableSize = 100;
constexpr int kTopIndex = 14;

// Calls fn(length, source record, edit record or null) for every frame the
// document streams, in order, its length that of the rebuilt frame: header,
// CRC word, side information, main data.
template <typename Fn>
void forEachOutputFrame(const std::vector<KvMp3FrameSpan> &spans, Fn fn)
{
    for (const KvMp3FrameSpan &s : spans) {
        if (!s.format)
            continue;
        const int side = 4 + KvMp3SideInfoSize(s.version, s.mode);
        for (qint64 i = 0; i < s.count; ++i) {
            const KvMP3GainFrameInfo &src = s.sourceRecord(i);
            const int crc = (src.flags & KvMp3FrameFlag::Crc) ? 2 : 0;
            fn(side + crc + s.plannedCapacity(i), src, s.edits ? &s.edits[i] : nullptr);
        }
    }
}

} // namespace

void KvMP3RepackInfoPtrList::enterSeekPoint(quint64 index, quint64 position)
{
    const quint64 percent = std::min<quint64>(100, m_frameTotal ? 100 * index / m_frameTotal : 0);
    while (quint64(m_tocCursor) <= percent) {
        if (m_tocCursor + 1 < kTableSize)
            m_toc[m_tocCursor + 1] = uint8_t(std::min<quint64>(255, m_byteTotal ? 256 * position / m_byteTotal : 0));
        if (quint64(m_tocCursor) >= percent)
            break;
        ++m_tocCursor;
    }
}

void KvMP3RepackInfoPtrList::computeXingData(const KvRepackInfoPtrListPtr &document)
{
    KvMP3RepackInfoPtrList *self = dynamic_cast<KvMP3RepackInfoPtrList *>(document.get());
    if (!self)
        return;
    self->m_vbr = 0;
    self->m_frameTotal = 0;
    self->m_byteTotal = 0;
    self->m_xingLength = 0;
    self->m_jointStereo = 0;
    self->m_tocCursor = 0;
    std::fill(std::begin(self->m_toc), std::end(self->m_toc), uint8_t(0));
    self->m_xingHeader = KvMp3FrameHeader{};

    const std::vector<KvMp3FrameSpan> spans = KvMp3FrameSpans(document);
    int firstIndex = -1;
    const KvMP3GainChangeInfo none{};
    forEachOutputFrame(spans, [&](int length, const KvMP3GainFrameInfo &src, const KvMP3GainChangeInfo *edit) {
        ++self->m_frameTotal;
        self->m_byteTotal += quint64(length);
        if (src.stereoFlags & KvMp3StereoFlag::JointStereo)
            self->m_jointStereo = 1;
        const int index = KvMp3OutputBitrateIndex(edit ? *edit : none, src);
        if (firstIndex < 0)
            firstIndex = index;
        else if (index != firstIndex)
            self->m_vbr = 1;
    });
    const boost::shared_ptr<KvFrameSizeInfo> format = document->firstSourceInfo();
    if (firstIndex < 0 || !format)
        return;

    KvMp3FrameHeader &h = self->m_xingHeader;
    h.version = format->versionCode();
    h.layer = 3;
    h.error_protection = 0;
    h.sampling_frequency = format->rateCode();
    h.mode = format->modeCode();
    // 64 kbit/s in both tables for a Xing frame; the first frame's rate for Info.
    int index = self->m_vbr ? (h.version == 0 ? 5 : 8) : firstIndex;
    // The frame must hold its own content; at the lowest rates of MPEG-2 and
    // 2.5 it would not, so a higher rate is taken.
    const int content = 4 + KvMp3SideInfoSize(h.version, h.mode) + kXingFields + (self->m_vbr ? kTableSize : 0);
    while (index < kTopIndex && KvMp3FrameLength(h.version, index, h.sampling_frequency, 0) < content)
        ++index;
    h.bitrate_index = index;
    const int x = KvMp3FrameLength(h.version, index, h.sampling_frequency, 0);
    self->m_xingLength = x;
    self->m_frameTotal += 1;
    self->m_byteTotal += quint64(x);

    // Seek table: where each percent of the frames begins, in 256ths of the bytes.
    if (!self->m_vbr)
        return;
    self->enterSeekPoint(0, quint64(x));
    quint64 position = quint64(x);
    quint64 k = 0;
    forEachOutputFrame(spans, [&](int length, const KvMP3GainFrameInfo &, const KvMP3GainChangeInfo *) {
        position += quint64(length);
        ++k;
        self->enterSeekPoint(k, position);
    });
    self->enterSeekPoint(self->m_frameTotal, self->m_byteTotal);
}

bool KvMP3RepackInfoPtrList::writeXingFrame(const KvRepackInfoPtrListPtr &document, QIODevice *device)
{
    KvMP3RepackInfoPtrList *self = dynamic_cast<KvMP3RepackInfoPtrList *>(document.get());
    if (!self || !device)
        return false;
    computeXingData(document);
    if (self->m_xingLength <= 0)
        return false;
    KvBitWriter w(65536);
    KvMp3WriteHeader(w, self->m_xingHeader, nullptr);
    // All-zero side information bytes (decoders recognise the tag frame by them).
    const int side = KvMp3SideInfoSize(self->m_xingHeader.version, self->m_xingHeader.mode);
    for (int i = 0; i < side; ++i)
        w.writeByte(0);
    const char *tag = self->m_vbr ? "Xing" : "Info";
    for (int i = 0; i < 4; ++i)
        w.writeByte(uint8_t(tag[i]));
    w.write(self->m_vbr ? 7u : 3u, 32);
    w.write(uint32_t(self->m_frameTotal), 32);
    w.write(uint32_t(self->m_byteTotal), 32);
    if (self->m_vbr)
        w.writeBytes(self->m_toc, kTableSize);
    QByteArray frame(reinterpret_cast<const char *>(w.data()), int(w.size()));
    if (frame.size() < self->m_xingLength)
        frame.append(QByteArray(self->m_xingLength - frame.size(), '\0'));
    return device->write(frame) == frame.size();
}
