#include "KvAacPackedRecords.h"

#include "KvAACFrameSizeInfo.h"
#include "KvAACRepackInfo.h"
#include "KvAACRepackInfoPtrList.h"
#include "KvFragmentListArchive.h"
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

QByteArray KvAacPackRecords(const boost::shared_ptr<KvAACRepackInfo> &fragment)
{
    if (!fragment)
        return QByteArray();
    const boost::shared_ptr<KvRepackInfoPtrList> one(new KvAACRepackInfoPtrList);
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

boost::shared_array<KvAACGainChangeInfo> KvAacUnpackRecords(const QByteArray &packed, const KvAACRepackInfo &fragment)
{
    typedef boost::shared_array<KvAACGainChangeInfo> Table;
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
            if (version < 10)
                return Table();
            int32_t field = 0;
            for (int k = 1; k <= 11; ++k)
                ar >> field;
        }

        Table table = fragment.freshRecords(count);
        if (!table)
            return Table();
        KvAACGainChangeInfo *frames = table.get();
        for (int64_t j = 0; j < count;) {
            bool silenced = false;
            int32_t g1 = 0, g2 = 0, repeat = 0;
            ar >> silenced >> g1 >> g2 >> repeat;
            if (repeat < 0 || repeat >= count - j)
                return Table();
            const int32_t gain = int32_t((int64_t(g1) + g2) / 2);
            for (int64_t end = j + repeat + 1; j < end; ++j) {
                frames[j].gain = gain;
                frames[j].silenced = silenced ? 1 : 0;
            }
        }
        return table;
    } catch (const std::exception &) {
        return Table();
    }
}
