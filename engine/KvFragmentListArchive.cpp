#include "KvFragmentListArchive.h"

#include "KvAacWrap.h"
#include "KvArchiveUi.h"
#include "KvAudioFile.h"
#include "KvEngineFactories.h"
#include "KvFile.h"
#include "KvFrameListIterator.h"
#include "KvFrameSizeInfo.h"
#include "KvQStringArchive.h"
#include "KvRelativeSource.h"
#include "KvRepackInfo.h"
#include "KvRepackInfoPtrList.h"
#include "KvTextOArchive.h"
#include "aacwrap/KvAacWrap.h"

#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QStringList>

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>
#include <boost/serialization/throw_exception.hpp>

#include <cstdint>
#include <limits>
#include <sstream>
#include <typeinfo>

const char kKvArchiveHeader[] = "22 serialization::archive 17";
const char kKvClipboardFormatName[] = "mp3Morvelta.clipboard.fmt";

namespace {

// Integer tokens through the archive, or, when it is one of ours, gathered
// and written straight into its stream. flush() before anything else is
// written through the archive.
class TokenWriter {
public:
    explicit TokenWriter(boost::archive::text_oarchive &ar) : m_ar(ar), m_fast(dynamic_cast<KvTextOArchive *>(&ar)) {}
    void operator()(int64_t value)
    {
        if (!m_fast) {
            m_ar << value;
            return;
        }
        KvTextOArchive::appendToken(m_pending, value);
        if (m_pending.size() >= 1 << 16)
            flush();
    }
    void flush()
    {
        if (m_fast && !m_pending.empty()) {
            m_fast->saveTokens(m_pending);
            m_pending.clear();
        }
    }

private:
    boost::archive::text_oarchive &m_ar;
    KvTextOArchive *m_fast;
    std::string m_pending;
};

} // namespace

void saveFragmentList(const boost::shared_ptr<KvRepackInfoPtrList> &document, boost::archive::text_oarchive &ar)
{
    // Only fragments with frames are written, so only they are counted: a
    // reader expects exactly N fragment records.
    int32_t n = 0;
    if (document) {
        for (const boost::shared_ptr<KvRepackInfo> &f : *document->list())
            n += f->frameCount() > 0 ? 1 : 0;
    }
    ar << n;
    TokenWriter put(ar);
    const boost::shared_ptr<KvFrameListIterator> it = createFrameListIterator(document);
    if (!it || !it->next())
        return;

    bool first = true;
    bool runOpen = false;
    bool havePrevious = false;
    int32_t previousGain = 0;
    bool previousSilenced = false;
    int32_t repeat = 0;
    do {
        if (it->enteredNewFragment()) {
            if (!first)
                put(repeat);
            first = false;
            const boost::shared_ptr<KvRepackInfo> fragment = it->currentFragment();
            const QString path = fragment->sourcePath();
            const int64_t firstFrame = fragment->firstFrame();
            const int64_t count = fragment->frameCount();
            put.flush();
            ar << path;
            put(firstFrame);
            put(count);
            if (path.isEmpty()) {
                const boost::shared_ptr<KvFrameSizeInfo> format = fragment->sizeInfo();
                const int32_t version = format ? format->versionCode() : 0;
                put(version);
                if (format && version >= 0 && version <= 9) {
                    put(format->rateCode());
                    put(format->modeCode());
                } else if (const KvAACInfo *aac = castAacSizeInfo(format)) {
                    // The object type travels in the version code; field 12 is not stored.
                    for (int k = 1; k <= 11; ++k)
                        put(aac->field[k]);
                }
            }
            havePrevious = false;
            runOpen = false;
            repeat = 0;
        }
        const int32_t g = it->gain();
        const bool s = it->isSilenced();
        if (havePrevious && g == previousGain && s == previousSilenced) {
            ++repeat;
        } else {
            if (runOpen) {
                put(repeat);
                repeat = 0;
            }
            put(s ? 1 : 0);
            put(g);
            put(g);
            previousGain = g;
            previousSilenced = s;
            havePrevious = true;
            runOpen = true;
        }
    } while (it->next());
    put(repeat);
    put.flush();
}

QString saveFragmentListToString(const boost::shared_ptr<KvRepackInfoPtrList> &document, qint64 start, qint64 count)
{
    // The writer only reads the list: the whole document needs no copy.
    boost::shared_ptr<KvRepackInfoPtrList> range = document;
    if (document && (start != 0 || (count != -1 && count < document->totalFrames())))
        range = document->copyRange(start, count);
    std::ostringstream os;
    {
        KvTextOArchive ar(os);
        const QString format = QString::fromLatin1(kKvClipboardFormatName);
        ar << format;
        saveFragmentList(range, ar);
    }
    const std::string text = os.str();
    return QString::fromUtf8(text.data(), int(text.size()));
}

namespace {

[[noreturn]] void malformed()
{
    boost::serialization::throw_exception(
        boost::archive::archive_exception(boost::archive::archive_exception::input_stream_error));
}

// Integer tokens through the archive, or straight from its stream when it
// is one of ours.
class TokenReader {
public:
    explicit TokenReader(boost::archive::text_iarchive &ar) : m_ar(ar), m_fast(dynamic_cast<KvTextIArchive *>(&ar)) {}
    template<class Int>
    Int get()
    {
        Int value = 0;
        if (m_fast)
            m_fast->loadInteger(value);
        else
            m_ar >> value;
        return value;
    }
    bool getBool()
    {
        if (!m_fast) {
            bool value = false;
            m_ar >> value;
            return value;
        }
        const int value = get<int>();
        if (value != 0 && value != 1)
            malformed();
        return value == 1;
    }

private:
    boost::archive::text_iarchive &m_ar;
    KvTextIArchive *m_fast;
};

// The wait cursor of one read, taken off again however the read ends.
class WaitCursor {
public:
    explicit WaitCursor(bool enabled) : m_enabled(enabled) {}
    ~WaitCursor() { restore(); }
    void show()
    {
        if (m_enabled && !m_shown && kvArchiveUi().showWaitCursor) {
            kvArchiveUi().showWaitCursor();
            m_shown = true;
        }
    }
    void restore()
    {
        if (m_shown) {
            m_shown = false;
            if (kvArchiveUi().restoreCursor)
                kvArchiveUi().restoreCursor();
        }
    }

private:
    bool m_enabled;
    bool m_shown = false;
};

QString errorLine(const QString &message, const QString &path)
{
    return QStringLiteral("%1: %2\n").arg(message, QDir::toNativeSeparators(path));
}

// Reads the runs that cover count frames and, when there is a fragment,
// gives its frames their values. A negative run or one that reaches past the
// fragment is damage.
void readRuns(TokenReader &in, qint64 count, KvRepackInfo *fragment)
{
    qint64 j = 0;
    while (j < count) {
        const bool silenced = in.getBool();
        const int32_t g1 = in.get<int32_t>();
        const int32_t g2 = in.get<int32_t>();
        const int32_t repeat = in.get<int32_t>();
        if (repeat < 0 || repeat > count - j - 1)
            malformed();
        // Fragments take gains as 16-bit values.
        const qint16 gain = qint16((int64_t(g1) + int64_t(g2)) / 2);
        const qint64 end = j + qint64(repeat) + 1;
        if (!fragment) {
            j = end;
            continue;
        }
        for (; j < end; ++j) {
            fragment->setFrameSilenced(j, silenced);
            fragment->setFrameGain(j, gain);
        }
    }
}

bool inRange(int32_t v, int32_t lo, int32_t hi)
{
    return v >= lo && v <= hi;
}

// The stored format of a silent fragment. Codes no writer makes are damage;
// a sound format this engine cannot build gives null.
boost::shared_ptr<KvFrameSizeInfo> readSilentFormat(TokenReader &in)
{
    const int32_t version = in.get<int32_t>();
    KvAACInfo block{};
    int32_t rate = 0, mode = 0;
    if (uint32_t(version) <= 9) {
        rate = in.get<int32_t>();
        mode = in.get<int32_t>();
        if (!inRange(version, 0, 2) || !inRange(rate, 0, 2) || !inRange(mode, 0, 3))
            malformed();
    } else {
        int32_t *field = block.field;
        field[KV_AAC_OBJECT_TYPE] = int32_t(int64_t(version) - 10);
        for (int i = 1; i <= 11; ++i)
            field[i] = in.get<int32_t>();
        const bool sound =
            inRange(field[KV_AAC_OBJECT_TYPE], 1, 45) &&
            (inRange(field[KV_AAC_SAMPLING_INDEX], 0, 12) || field[KV_AAC_SAMPLING_INDEX] == 15) &&
            inRange(field[KV_AAC_SAMPLE_RATE], 1, 192000) && inRange(field[KV_AAC_CHANNEL_CONFIG], 0, 7) &&
            inRange(field[KV_AAC_SBR], -1, 1) && inRange(field[KV_AAC_EXT_OBJECT_TYPE], 0, 45) &&
            inRange(field[KV_AAC_FRAME_LENGTH_FLAG], 0, 1) && inRange(field[KV_AAC_EXT_SAMPLE_RATE], 0, 192000) &&
            inRange(field[KV_AAC_CHANNELS], 1, 8) && inRange(field[KV_AAC_PS], -1, 1) &&
            inRange(field[KV_AAC_SAMPLES_PER_FRAME], 1, 2048);
        if (!sound)
            malformed();
        // The container (field 12) is not stored: silence comes from no file.
        field[KV_AAC_CONTAINER] = 0;
    }
    return createFrameSizeInfo(version, rate, mode, &block);
}

// The archive keeps only an MP3 silent fragment's codes, not the header flags
// (copyright, original, emphasis) its frames copy from their format's first
// frame. Silence made in a document takes the document's own format, so a
// loaded one takes it too when a fragment of the same codes is at hand.
boost::shared_ptr<KvFrameSizeInfo> documentFormatLike(const boost::shared_ptr<KvFrameSizeInfo> &format,
                                                      const KvRepackInfoPtrListPtr &list)
{
    if (!format || format->versionCode() >= 10 || !list || !list->list())
        return boost::shared_ptr<KvFrameSizeInfo>();
    for (const KvRepackInfoPtr &f : *list->list()) {
        const boost::shared_ptr<KvFrameSizeInfo> own = f ? f->sizeInfo() : boost::shared_ptr<KvFrameSizeInfo>();
        if (own && typeid(*own) == typeid(*format) && own->versionCode() == format->versionCode() &&
            own->rateCode() == format->rateCode() && own->modeCode() == format->modeCode())
            return own;
    }
    return boost::shared_ptr<KvFrameSizeInfo>();
}

KvRepackInfoPtrListPtr valueOf(const KvRepackInfoPtrListPtr *list)
{
    return list ? *list : KvRepackInfoPtrListPtr();
}

} // namespace

boost::shared_ptr<KvRepackInfo> reopenSandboxedFile(QWidget *parent, const QString &path, qint64 first, qint64 count,
                                                    QString &errors, bool *heAac)
{
    Q_UNUSED(parent);
    boost::shared_ptr<KvRepackInfo> fragment;
    if (!QFileInfo::exists(path))
        return fragment;
    WaitCursor cursor(true);
    cursor.show();
    bool he = false;
    QString openError;
    const boost::shared_ptr<KvAudioFile> file = createAudioFileByExtension(path, he, openError);
    if (heAac)
        *heAac = he;
    if (file && openError.isEmpty() && file->frameCount() > 0) {
        const qint64 n = file->frameCount();
        if (first >= 0 && count > 0 && first < n && count <= n - first)
            fragment = file->createRepackInfo(first, count);
        if (!fragment)
            errors += errorLine(
                QObject::tr("The file has changed since it was last referenced and is no longer usable"), path);
    } else {
        errors += errorLine(openError.isEmpty()
                                ? QObject::tr("The file has changed since it was last referenced and is no longer usable")
                                : openError,
                            path);
    }
    return fragment;
}

QString loadFragmentList(int options, QUndoStack *undoStack, KvRepackInfoPtrListPtr *lookup,
                         const QString &savedProjectPath, const QString &currentProjectPath,
                         KvRepackInfoPtrListPtr *output, KvRepackInfoPtrListPtr *reference,
                         const KvRepackInfoPtrListPtr &extraLookup, boost::archive::text_iarchive &ar,
                         bool *relocated, QWidget *parent)
{
    const KvArchiveUi &ui = kvArchiveUi();
    const bool interactive = (options & KvLoadOption::Interactive) != 0;
    const bool attach = (options & (KvLoadOption::Attach | KvLoadOption::Append)) != 0;
    const bool append = (options & KvLoadOption::Append) != 0;
    KvRepackInfoPtrListPtr localOutput, localReference;
    KvRepackInfoPtrListPtr &out = output ? *output : localOutput;
    KvRepackInfoPtrListPtr &ref = reference ? *reference : localReference;

    QString errors;
    QStringList approved;
    int lastAnswer = KvArchiveButton::NoButton;
    WaitCursor cursor(interactive);
    cursor.show();

    TokenReader in(ar);
    const int32_t n = in.get<int32_t>();
    // Every fragment holds at least one frame.
    if (n < 0 || n > kKvArchiveMaxFrames)
        malformed();
    qint64 totalFrames = 0;
    for (int32_t k = 0; k < n; ++k) {
        QString path;
        ar >> path;
        const int64_t first = in.get<int64_t>();
        const int64_t count = in.get<int64_t>();
        if (count > 0) {
            if (count > kKvArchiveMaxFrames - totalFrames)
                malformed();
            totalFrames += count;
        }

        if (path.isEmpty() || first < 0 || count <= 0) {
            // Silence: its format, then runs whose values a new silent
            // fragment does not take.
            const boost::shared_ptr<KvFrameSizeInfo> format = readSilentFormat(in);
            if (count <= 0)
                malformed();
            readRuns(in, count, nullptr);
            boost::shared_ptr<KvFrameSizeInfo> own = documentFormatLike(format, out);
            if (!own)
                own = documentFormatLike(format, ref);
            const boost::shared_ptr<KvAudioFile> file = format ? createAudioFileLike(own ? own : format, count)
                                                               : boost::shared_ptr<KvAudioFile>();
            const boost::shared_ptr<KvRepackInfo> fragment =
                file ? file->createRepackInfoFrom(count) : boost::shared_ptr<KvRepackInfo>();
            if (fragment) {
                if (!ref)
                    ref = createRepackInfoPtrListForFragment(fragment);
                if (!out)
                    out = createRepackInfoPtrListForFragment(fragment);
            }
            if (!fragment || !ref || !out || !ref->isCompatible(format) || !out->isCompatible(format)) {
                errors += QObject::tr("Incompatible silent fragment cannot be loaded into project.");
                break;
            }
            if (append)
                out->appendFragment(fragment);
            continue;
        }

        if (first > std::numeric_limits<int64_t>::max() - count)
            malformed();

        // A source that is not where it was: look beside the moved project.
        if (!QFileInfo::exists(path) && !savedProjectPath.isEmpty() && !currentProjectPath.isEmpty() &&
            savedProjectPath != currentProjectPath) {
            bool search = true;
            if (interactive && lastAnswer != KvArchiveButton::YesToAll && !approved.contains(path) && ui.warning) {
                cursor.restore();
                lastAnswer = ui.warning(
                    parent, QStringLiteral("mp3Morvelta"),
                    QObject::tr("file fragment  %1 not found!\nDo you wish to search using a relative path?")
                        .arg(QDir::toNativeSeparators(path)),
                    KvArchiveButton::Yes | KvArchiveButton::YesToAll | KvArchiveButton::No, KvArchiveButton::YesToAll);
                cursor.show();
                search = lastAnswer == KvArchiveButton::Yes || lastAnswer == KvArchiveButton::YesToAll;
            }
            if (interactive && !approved.contains(path))
                approved << path;
            if (search) {
                const QString found = findRelativeSource(savedProjectPath, currentProjectPath, path);
                if (!found.isEmpty()) {
                    path = normalizeLongPath(found);
                    if (relocated)
                        *relocated = true;
                }
            }
        }

        if (!QFileInfo::exists(path)) {
            errors += errorLine(QObject::tr("Missing file fragment cannot be loaded into project."), path);
            break;
        }

        // A source already open in one of the lists or the undo history is shared.
        boost::shared_ptr<KvRepackInfo> fragment;
        for (const KvRepackInfoPtrListPtr &list : {valueOf(lookup), extraLookup, ref, out}) {
            if (list && (fragment = list->createFragmentForSource(path, first, count)))
                break;
        }
        if (!fragment && ui.findInUndoStack)
            fragment = ui.findInUndoStack(undoStack, path, first, count);

        if (attach) {
            if (!fragment) {
                bool heAac = false;
                fragment = reopenSandboxedFile(parent, path, first, count, errors, &heAac);
                if (!fragment)
                    break;
            }
            if (!ref)
                ref = createRepackInfoPtrListForFragment(fragment);
            if (!out)
                out = createRepackInfoPtrListForFragment(fragment);
            if (fragment->frameCount() != count || !ref || !out || !ref->isCompatible(fragment->sizeInfo()) ||
                !out->isCompatible(fragment->sizeInfo())) {
                errors += errorLine(QObject::tr("Incompatible file fragment cannot be loaded into project."), path);
                break;
            }
        } else if (fragment && fragment->frameCount() != count) {
            fragment.reset();
        }

        readRuns(in, count, fragment.get());
        if (append)
            out->appendFragment(fragment);
    }

    cursor.restore();
    if (options != KvLoadOption::Interactive && lookup)
        *lookup = out;
    return errors;
}
