#include "KvMp3PackedRecords.h"

#include "KvFragmentListArchive.h"
#include "KvMP3RepackInfo.h"
#include "KvMP3RepackInfoPtrList.h"
#include "KvQStringArchive.h"

#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>
#include <boost/iostreams/device/array.hpp>
#include <boost/iostreams/device/back_inserter.hpp>
#include <boost/iostreams/filter/zlib.hpp>
#include <boost/iostreams/filtering_stream.hpp>

#include <cstdint>
#include <exception>
#include <string>

namespace io = boost::iostreams;

namespace {

constexpr std::streamsize kStreamBuffer = 4096;

io::zlib_params packParams()
{
    io::zlib_params p(io::zlib::default_compression, io::zlib::deflated, 15, 8, io::zlib::default_strategy);
    p.noheader = false;
    return p;
}

} // namespace

QByteArray KvMp3PackRecords(const boost::shared_ptr<KvMP3RepackInfo> &fragment)
{
    if (!fragment)
        return QByteArray();
    // The fragment goes into the list as it is: the writer only reads it.
    const boost::shared_ptr<KvRepackInfoPtrList> one(new KvMP3RepackInfoPtrList);
    one->list()->push_back(fragment);

    std::string packed;
    try {
        io::filtering_ostream out;
        out.push(io::zlib_compressor(packParams(), kStreamBuffer));
        out.push(io::back_inserter(packed), kStreamBuffer);
        out << kKvArchiveHeader << ' ';
        {
            boost::archive::text_oarchive ar(out, boost::archive::no_header);
            saveFragmentList(one, ar);
        }
        out.reset();
    } catch (const std::exception &) {
        return QByteArray();
    }
    return QByteArray(packed.data(), int(packed.size()));
}

boost::shared_array<KvMP3GainChangeInfo> KvMp3UnpackRecords(const QByteArray &packed, const KvMP3RepackInfo &fragment)
{
    typedef boost::shared_array<KvMP3GainChangeInfo> Table;
    if (packed.isEmpty())
        return Table();
    try {
        io::filtering_istream in;
        in.push(io::zlib_decompressor(packParams(), kStreamBuffer));
        in.push(io::array_source(packed.constData(), size_t(packed.size())), kStreamBuffer);
        boost::archive::text_iarchive ar(in);

        int32_t n = 0;
        ar >> n;
        if (n != 1)
            return Table();
        QString path;
        int64_t first = 0;
        int64_t count = 0;
        ar >> path >> first >> count;
        if (path != fragment.sourcePath() || first != fragment.firstFrame() || count != fragment.frameCount())
            return Table();
        if (path.isEmpty()) {
            int32_t version = 0;
            ar >> version;
            if (uint32_t(version) > 9)
                return Table();
            int32_t rate = 0, mode = 0;
            ar >> rate >> mode;
        }

        const qint64 base = fragment.gainRecordBase();
        Table table = fragment.sourceRecords(first - base, base + count);
        if (!table)
            return Table();
        KvMP3GainChangeInfo *frames = table.get() + base;
        for (int64_t j = 0; j < count;) {
            bool silenced = false;
            int32_t g1 = 0, g2 = 0, repeat = 0;
            ar >> silenced >> g1 >> g2 >> repeat;
            if (repeat < 0 || repeat >= count - j)
                return Table();
            const int32_t gain = int32_t((int64_t(g1) + g2) / 2);
            for (int64_t end = j + repeat + 1; j < end; ++j) {
                KvMP3GainChangeInfo &rec = frames[j];
                rec.gain[0] = rec.gain[1] = gain;
                if (silenced)
                    rec.flags |= KvMp3EditFlag::Silenced;
                else
                    rec.flags &= uint8_t(~KvMp3EditFlag::Silenced);
            }
        }
        return table;
    } catch (const std::exception &) {
        return Table();
    }
}
