// Feeds arbitrary text to the fragment-list reader. The first byte picks the
// read: bits 0-1 the options (checking pass, loading pass, paste, attach
// only), bit 2 a moved project (so missing sources are searched for), bits
// 3-4 the answer to the relocation question. The rest is the archive text,
// header included. A source named by KV_FUZZ_SOURCE is held open in the
// lookup list, so texts that name it reach the runs with a real fragment
// (make-archive-seeds.sh writes such seeds).
#include "KvArchiveUi.h"
#include "KvAudioFile.h"
#include "KvEngineFactories.h"
#include "KvFragmentListArchive.h"
#include "KvRepackInfoPtrList.h"
#include "KvTextIArchive.h"

#include <QString>

#include <boost/archive/archive_exception.hpp>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

// Never destroyed: the open source must outlive the registry of open files,
// a static that goes away at exit.
KvRepackInfoPtrListPtr &g_open = *new KvRepackInfoPtrListPtr;
int g_answer = KvArchiveButton::Yes;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (const char *source = std::getenv("KV_FUZZ_SOURCE")) {
        bool heAac = false;
        QString error;
        const boost::shared_ptr<KvAudioFile> file = createAudioFileByExtension(QString::fromLocal8Bit(source), heAac, error);
        if (file && error.isEmpty()) {
            const boost::shared_ptr<KvRepackInfo> fragment = file->createRepackInfo(0, 1);
            g_open = createRepackInfoPtrListForFragment(fragment);
            g_open->appendFragment(fragment);
        }
    }
    KvArchiveUi ui;
    ui.warning = [](QWidget *, const QString &, const QString &, int, int) { return g_answer; };
    setKvArchiveUi(ui);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const int kOptions[] = {KvLoadOption::Interactive, KvLoadOption::Append,
                                   KvLoadOption::Interactive | KvLoadOption::Append, KvLoadOption::Attach};
    static const int kAnswers[] = {KvArchiveButton::Yes, KvArchiveButton::YesToAll, KvArchiveButton::No,
                                   KvArchiveButton::NoButton};
    const int options = kOptions[data[0] & 3];
    const bool moved = (data[0] & 4) != 0;
    g_answer = kAnswers[(data[0] >> 3) & 3];
    const std::string text(reinterpret_cast<const char *>(data) + 1, size - 1);

    std::istringstream is(text);
    try {
        KvTextIArchive ar(is);
        KvRepackInfoPtrListPtr lookup = g_open, out, reference;
        bool relocated = false;
        loadFragmentList(options, nullptr, &lookup, moved ? QStringLiteral("/kvfuzz/old/proj/p.kvlproj") : QString(),
                         moved ? QStringLiteral("/tmp/kvfuzz/new/proj/p.kvlproj") : QString(), &out, &reference,
                         KvRepackInfoPtrListPtr(), ar, &relocated, nullptr);
    } catch (const boost::archive::archive_exception &) {
        // The reader's one way of refusing damaged text.
    }
    return 0;
}
