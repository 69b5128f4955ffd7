#include "KvPackedRecordText.h"

#include "KvFragmentListArchive.h"
#include "KvQStringArchive.h"
#include "KvRepackInfo.h"

#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>
#include <boost/iostreams/device/array.hpp>
#include <boost/iostreams/device/back_inserter.hpp>
#include <boost/iostreams/filter/zlib.hpp>
#include <boost/iostreams/filtering_stream.hpp>

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

QByteArray KvPackFragmentText(const boost::shared_ptr<KvRepackInfoPtrList> &one)
{
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

bool KvReadPackedRuns(const QByteArray &packed, const KvRepackInfo &fragment, bool aac,
                      std::vector<KvPackedRun> &runs)
{
    runs.clear();
    if (packed.isEmpty())
        return false;
    try {
        io::filtering_istream in;
        in.push(io::zlib_decompressor(packParams(), kStreamBuffer));
        in.push(io::array_source(packed.constData(), size_t(packed.size())), kStreamBuffer);
        boost::archive::text_iarchive ar(in);

        int32_t n = 0;
        ar >> n;
        if (n != 1)
            return false;
        QString path;
        int64_t first = 0;
        int64_t count = 0;
        ar >> path >> first >> count;
        if (path != fragment.sourcePath() || first != fragment.firstFrame() || count != fragment.frameCount())
            return false;
        if (path.isEmpty()) {
            int32_t version = 0;
            ar >> version;
            if (aac ? version < 10 : uint32_t(version) > 9)
                return false;
            int32_t field = 0;
            for (int k = 0, fields = aac ? 11 : 2; k < fields; ++k)
                ar >> field;
        }
        for (int64_t j = 0; j < count;) {
            bool silenced = false;
            int32_t g1 = 0, g2 = 0, repeat = 0;
            ar >> silenced >> g1 >> g2 >> repeat;
            if (repeat < 0 || repeat >= count - j)
                return false;
            runs.push_back({silenced, int32_t((int64_t(g1) + g2) / 2), int64_t(repeat) + 1});
            j += int64_t(repeat) + 1;
        }
        return true;
    } catch (const std::exception &) {
        return false;
    }
}
