// The fragment-list archive: golden texts, round trips, the reader's
// messages and lists, and damaged or hostile text.
#include "KvArchiveTestSupport.h"
#include "KvDocumentTestSupport.h"
#include "KvFile.h"
#include "KvFragmentListArchive.h"
#include "KvFrameListIterator.h"
#include "KvEngineFactories.h"
#include "KvMP3FrameSizeInfo.h"
#include "KvRelativeSource.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <boost/archive/text_oarchive.hpp>

#include <string>

using namespace kvtest;

namespace {

std::string canonical(const QString &path)
{
    return QFileInfo(path).canonicalFilePath().toStdString();
}

// "LENGTH BYTES" of a string item.
std::string item(const std::string &s)
{
    return std::to_string(s.size()) + " " + s;
}

class ArchiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        file = openMp3("cbr128_joint.mp3");
        path = canonical(fixture("cbr128_joint.mp3"));
    }

    boost::shared_ptr<KvMP3AudioFile> file;
    std::string path;
};

// Golden texts, byte for byte: the clipboard text of whole documents.

TEST_F(ArchiveTest, UneditedSourceIsOneRun)
{
    const qint64 n = file->frameCount();
    ASSERT_GT(n, 100);
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 0, -1)});
    EXPECT_EQ(saveFragmentListToString(doc, 0, -1).toStdString(),
              "22 serialization::archive 17 0 1 25 mp3Morvelta.clipboard.fmt 1 " + item(path) + " 0 " +
                  std::to_string(n) + " 0 0 0 " + std::to_string(n - 1) + "\n");
}

TEST_F(ArchiveTest, GainAndSilenceRuns)
{
    const KvMP3RepackInfoPtr a = fragmentOf(file, 100, 10);
    for (qint64 i : {2, 3, 4})
        a->setFrameGain(i, 2);
    a->setFrameSilenced(6, true);
    a->setFrameSilenced(7, true);
    a->setFrameSilenced(8, true);
    a->setFrameGain(8, -1);
    const KvRepackInfoPtrListPtr doc = documentOf({a, fragmentOf(file, 0, 5)});
    EXPECT_EQ(saveFragmentListToString(doc, 0, -1).toStdString(),
              "22 serialization::archive 17 0 1 25 mp3Morvelta.clipboard.fmt 2 " + item(path) +
                  " 100 10 0 0 0 1 0 2 2 2 0 0 0 0 1 0 0 1 1 -1 -1 0 0 0 0 0 " + item(path) + " 0 5 0 0 0 4\n");
}

TEST_F(ArchiveTest, SilentFragment)
{
    const KvRepackInfoPtr silence(new KvMP3RepackInfo(
        boost::shared_ptr<KvFrameSizeInfo>(new KvMP3FrameSizeInfo(0, 0, 1)), 4));
    EXPECT_EQ(saveFragmentListToString(documentOf({silence}), 0, -1).toStdString(),
              "22 serialization::archive 17 0 1 25 mp3Morvelta.clipboard.fmt 1 0  0 4 0 0 1 1 0 0 3\n");
}

// The layout walked through token by token: a source range with one
// silenced frame, then silence, with the path as the archive's first string.
TEST_F(ArchiveTest, PathAsFirstStringCarriesTheClassInformation)
{
    const KvMP3RepackInfoPtr a = fragmentOf(file, 100, 3);
    a->setFrameSilenced(1, true);
    const KvRepackInfoPtr silence(new KvMP3RepackInfo(
        boost::shared_ptr<KvFrameSizeInfo>(new KvMP3FrameSizeInfo(0, 0, 1)), 4));
    const std::string text = writeArchive([&](boost::archive::text_oarchive &ar) {
        saveFragmentList(documentOf({a, silence}), ar);
    });
    EXPECT_EQ(text, "22 serialization::archive 17 2 0 1 " + item(path) +
                        " 100 3 0 0 0 0 1 0 0 0 0 0 0 0 0  0 4 0 0 1 1 0 0 3\n");
}

TEST_F(ArchiveTest, ClipboardTextOfARange)
{
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 0, 50), fragmentOf(file, 200, 50)});
    EXPECT_EQ(saveFragmentListToString(doc, 40, 20).toStdString(),
              "22 serialization::archive 17 0 1 25 mp3Morvelta.clipboard.fmt 2 " + item(path) + " 40 10 0 0 0 9 " +
                  item(path) + " 200 10 0 0 0 9\n");
    EXPECT_EQ(saveFragmentListToString(doc, 500, 20).toStdString(),
              "22 serialization::archive 17 0 1 25 mp3Morvelta.clipboard.fmt 0\n");
}

TEST_F(ArchiveTest, NonAsciiPathIsCountedInUtf8Bytes)
{
    TempDir dir;
    const QString copy = dir.file(QString::fromUtf8("Grüße – 音楽.mp3"));
    ASSERT_TRUE(QFile::copy(fixture("cbr128_joint.mp3"), copy));
    const boost::shared_ptr<KvMP3AudioFile> f(new KvMP3AudioFile);
    ASSERT_TRUE(f->open(copy).isEmpty());
    const std::string utf8 = canonical(copy);
    ASSERT_NE(size_t(QString::fromStdString(utf8).size()), utf8.size());

    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(f, 3, 2)});
    const std::string text = saveFragmentListToString(doc, 0, -1).toStdString();
    EXPECT_EQ(text, "22 serialization::archive 17 0 1 25 mp3Morvelta.clipboard.fmt 1 " + item(utf8) + " 3 2 0 0 0 1\n");

    const Loaded loaded = loadClipboard(text, KvLoadOption::Append);
    ASSERT_TRUE(loaded.errors.isEmpty()) << loaded.errors.toStdString();
    EXPECT_EQ(rangesOf(loaded.out), (Ranges{{3, 2}}));
    EXPECT_EQ(loaded.out->list()->front()->sourcePath(), QString::fromStdString(utf8));
}

// The writer counts exactly the fragments it writes: an empty fragment in
// the list is neither written nor counted.
TEST_F(ArchiveTest, EmptyFragmentsAreNotCounted)
{
    const KvRepackInfoPtrListPtr doc =
        documentOf({fragmentOf(file, 0, 3), fragmentOf(file, 10, 0), fragmentOf(file, 20, 2)});
    const std::string text = writeArchive([&](boost::archive::text_oarchive &ar) { saveFragmentList(doc, ar); });
    EXPECT_EQ(text.substr(0, 31), "22 serialization::archive 17 2 ");
    const Loaded loaded = loadList(text, KvLoadOption::Append);
    EXPECT_EQ(rangesOf(loaded.out), (Ranges{{0, 3}, {20, 2}}));
}

// Round trips: what is written is read back into the same fragments with
// the same values, sharing the source that is already open.
TEST_F(ArchiveTest, RandomDocumentsRoundTrip)
{
    const boost::shared_ptr<KvMP3AudioFile> other = openMp3("cbr128_stereo.mp3");
    QRandomGenerator rng(20261210);
    for (int round = 0; round < 60; ++round) {
        const KvRepackInfoPtrListPtr doc = randomDocument(rng, {file, other});
        const std::string text = saveFragmentListToString(doc, 0, -1).toStdString();
        const KvRepackInfoPtrListPtr open = documentOf({fragmentOf(file, 0, 1), fragmentOf(other, 0, 1)});
        const Loaded loaded = loadClipboard(text, KvLoadOption::Interactive | KvLoadOption::Append, open);
        ASSERT_TRUE(loaded.errors.isEmpty()) << loaded.errors.toStdString();
        ASSERT_EQ(rangesOf(loaded.out), rangesOf(doc)) << text;
        EXPECT_EQ(frameValues(loaded.out), frameValues(doc)) << text;
        for (const KvRepackInfoPtr &f : *loaded.out->list()) {
            if (!f->sourcePath().isEmpty()) {
                EXPECT_TRUE(f->source() == file->repacker() || f->source() == other->repacker());
            }
        }
        EXPECT_EQ(loaded.lookup, loaded.out);
    }
}

// The reader's lists and messages.

TEST_F(ArchiveTest, SourcesAreOpenedWhenNoListHoldsThem)
{
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 5, 7)});
    const Loaded loaded = loadClipboard(saveFragmentListToString(doc, 0, -1).toStdString(), KvLoadOption::Append);
    ASSERT_TRUE(loaded.errors.isEmpty()) << loaded.errors.toStdString();
    EXPECT_EQ(rangesOf(loaded.out), (Ranges{{5, 7}}));
    EXPECT_NE(loaded.out->list()->front()->source(), file->repacker());
    EXPECT_EQ(loaded.out->list()->front()->sourceFrameCount(), file->frameCount());
}

TEST_F(ArchiveTest, CheckingPassOpensAndAppendsNothing)
{
    const std::string text = saveFragmentListToString(documentOf({fragmentOf(file, 5, 7)}), 0, -1).toStdString();
    const KvRepackInfoPtrListPtr lookup = documentOf({});
    const QStringList openBefore = KvFile::openFiles();
    const Loaded loaded = loadClipboard(text, KvLoadOption::Interactive, lookup);
    EXPECT_TRUE(loaded.errors.isEmpty());
    EXPECT_EQ(KvFile::openFiles(), openBefore);
    EXPECT_EQ(loaded.lookup, lookup);
    EXPECT_TRUE(!loaded.out || loaded.out->list()->empty());
}

TEST_F(ArchiveTest, MissingSourceEndsTheRead)
{
    const std::string missing = "/nonexistent/kv/gone.mp3";
    const std::string text = listText("3 0 1 " + item(path) + " 0 2 0 0 0 1 " + item(missing) +
                                      " 0 2 0 0 0 1 " + item(path) + " 4 2 0 0 0 1");
    for (int options : {KvLoadOption::Interactive, KvLoadOption::Append}) {
        const Loaded loaded = loadList(text, options, documentOf({fragmentOf(file, 0, 1)}));
        EXPECT_EQ(loaded.errors.toStdString(),
                  "Missing file fragment cannot be loaded into project.: " + missing + "\n");
        if (options == KvLoadOption::Append) {
            EXPECT_EQ(rangesOf(loaded.out), (Ranges{{0, 2}}));
            EXPECT_EQ(loaded.lookup, loaded.out);
        }
    }
}

TEST_F(ArchiveTest, ShortenedSourceHasChanged)
{
    TempDir dir;
    const QString cut = dir.file("cut.mp3");
    const QByteArray bytes = readFile(fixture("cbr128_joint.mp3"));
    ASSERT_TRUE(writeFile(cut, bytes.left(bytes.size() / 2)));
    const std::string text = listText("1 0 1 " + item(canonical(cut)) + " " + std::to_string(file->frameCount() - 10) +
                                      " 5 0 0 0 4");
    const Loaded loaded = loadList(text, KvLoadOption::Append);
    EXPECT_EQ(loaded.errors.toStdString(),
              "The file has changed since it was last referenced and is no longer usable: " + canonical(cut) + "\n");
    EXPECT_TRUE(!loaded.out || loaded.out->list()->empty());
}

TEST_F(ArchiveTest, IncompatibleSourceFragment)
{
    const boost::shared_ptr<KvMP3AudioFile> mono = openMp3("mpeg2_mono_22k.mp3");
    KvRepackInfoPtrListPtr reference = documentOf({fragmentOf(mono, 0, 10)});
    const std::string text = listText("1 0 1 " + item(path) + " 0 5 0 0 0 4");
    const Loaded loaded = loadList(text, KvLoadOption::Append, KvRepackInfoPtrListPtr(), reference);
    EXPECT_EQ(loaded.errors.toStdString(), "Incompatible file fragment cannot be loaded into project.: " + path + "\n");
}

TEST_F(ArchiveTest, IncompatibleSilentFragment)
{
    // MPEG-2 mono silence into an MPEG-1 stereo document, in both passes.
    const std::string text = listText("1 0 1 0  0 4 1 0 3 1 0 0 3");
    for (int options : {KvLoadOption::Interactive, KvLoadOption::Append}) {
        KvRepackInfoPtrListPtr reference = documentOf({fragmentOf(file, 0, 10)});
        const Loaded loaded = loadList(text, options, KvRepackInfoPtrListPtr(), reference);
        EXPECT_EQ(loaded.errors.toStdString(), "Incompatible silent fragment cannot be loaded into project.");
    }
}

TEST_F(ArchiveTest, SilenceTakesFreshValues)
{
    // A faded silent run: its stored runs are read and dropped.
    const std::string text = listText("2 0 1 " + item(path) + " 0 2 0 0 0 1 0  0 4 0 0 1 1 -3 -3 1 1 -1 -1 1");
    const Loaded loaded = loadList(text, KvLoadOption::Append);
    ASSERT_TRUE(loaded.errors.isEmpty()) << loaded.errors.toStdString();
    EXPECT_EQ(rangesOf(loaded.out), (Ranges{{0, 2}, {-1, 4}}));
    const KvRepackInfoPtr silence = loaded.out->list()->back();
    for (qint64 i = 0; i < 4; ++i) {
        EXPECT_TRUE(silence->isFrameSilenced(i));
        EXPECT_EQ(silence->frameGain(i), 0);
    }
    EXPECT_EQ(silence->sizeInfo()->formatKey(), file->repacker()->sizeInfo()->formatKey());
}

TEST_F(ArchiveTest, VersionZeroStringDropsItsLeadingNewline)
{
    const std::string body = "\n" + path;
    const std::string text = listText("1 0 0 " + item(body) + " 7 3 0 1 1 2");
    const Loaded loaded = loadList(text, KvLoadOption::Append);
    ASSERT_TRUE(loaded.errors.isEmpty()) << loaded.errors.toStdString();
    ASSERT_EQ(rangesOf(loaded.out), (Ranges{{7, 3}}));
    EXPECT_EQ(loaded.out->list()->front()->sourcePath().toStdString(), path);
    EXPECT_EQ(frameValues(loaded.out), (std::vector<std::pair<int, bool>>{{1, false}, {1, false}, {1, false}}));
}

TEST_F(ArchiveTest, GainIsTheMeanOfTheStoredPair)
{
    const std::string text = listText("1 0 1 " + item(path) + " 0 3 1 3 6 0 0 -3 0 0 0 -7 -8 0");
    const Loaded loaded = loadList(text, KvLoadOption::Append);
    ASSERT_TRUE(loaded.errors.isEmpty()) << loaded.errors.toStdString();
    EXPECT_EQ(frameValues(loaded.out), (std::vector<std::pair<int, bool>>{{4, true}, {-1, false}, {-7, false}}));
}

// Damaged and hostile text: every case raises the archive error and builds
// nothing out of proportion to the text.
struct Hostile {
    const char *name;
    std::string body; // after the header; PATH stands for the source path
};

void PrintTo(const Hostile &c, std::ostream *os) { *os << c.name; }

class HostileText : public ArchiveTest, public ::testing::WithParamInterface<Hostile> {};

TEST_P(HostileText, RaisesTheArchiveError)
{
    std::string body = GetParam().body;
    const std::string::size_type at = body.find("PATH");
    if (at != std::string::npos)
        body.replace(at, 4, item(path));
    for (int options : {KvLoadOption::Interactive, KvLoadOption::Append}) {
        try {
            loadList(listText(body), options, documentOf({fragmentOf(file, 0, 1)}));
            ADD_FAILURE() << GetParam().name << ": no archive error";
        } catch (const boost::archive::archive_exception &e) {
            EXPECT_EQ(e.code, boost::archive::archive_exception::input_stream_error) << GetParam().name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileText,
    ::testing::Values(
        Hostile{"negative count of fragments", "-1"},
        Hostile{"more fragments than frames a read accepts", "16777217"},
        Hostile{"more fragments than the text holds", "3 0 1 PATH 0 2 0 0 0 1"},
        Hostile{"not a number", "1 0 1 PATH zero 2 0 0 0 1"},
        Hostile{"run past the fragment", "1 0 1 PATH 0 4 0 0 0 4"},
        Hostile{"run past the fragment, later run", "1 0 1 PATH 0 4 0 0 0 1 1 0 0 2"},
        Hostile{"negative run", "1 0 1 PATH 0 4 0 0 0 -1"},
        Hostile{"runs do not cover the fragment", "1 0 1 PATH 0 4 0 0 0 1"},
        Hostile{"silenced flag 2", "1 0 1 PATH 0 1 2 0 0 0"},
        Hostile{"gain beyond 32 bits", "1 0 1 PATH 0 1 0 4294967296 0 0"},
        Hostile{"first plus count past 64 bits", "1 0 1 PATH 9223372036854775800 16 0 0 0 15"},
        Hostile{"more frames than a read accepts", "1 0 1 PATH 0 16777217 0 0 0 16777216"},
        Hostile{"silent run past the fragment", "1 0 1 0  0 4 0 0 1 1 0 0 4"},
        Hostile{"silence without frames", "1 0 1 0  0 0 0 0 1"},
        Hostile{"silence with negative count", "1 0 1 0  0 -5 0 0 1 1 0 0 3"},
        Hostile{"huge silence", "1 0 1 0  0 9223372036854775807 0 0 1 1 0 0 2147483647"},
        Hostile{"MP3 version 3", "1 0 1 0  0 4 3 0 1 1 0 0 3"},
        Hostile{"MP3 version 9", "1 0 1 0  0 4 9 0 1 1 0 0 3"},
        Hostile{"MP3 rate code 3", "1 0 1 0  0 4 0 3 1 1 0 0 3"},
        Hostile{"MP3 mode code 4", "1 0 1 0  0 4 0 0 4 1 0 0 3"},
        Hostile{"MP3 negative rate code", "1 0 1 0  0 4 0 -1 1 1 0 0 3"},
        Hostile{"negative version", "1 0 1 0  0 4 -1 4 44100 2 0 0 0 0 0 2 0 1024 1 0 0 3"},
        Hostile{"version cut to 16 bits", "1 0 1 0  0 4 65539 0 1 0 0 0 0 0 0 0 0 0 1 0 0 3"},
        Hostile{"AAC without channels", "1 0 1 0  0 4 12 4 44100 2 0 0 0 0 0 0 0 1024 1 0 0 3"},
        Hostile{"AAC sampling index 13", "1 0 1 0  0 4 12 13 44100 2 0 0 0 0 0 2 0 1024 1 0 0 3"},
        Hostile{"AAC zero rate", "1 0 1 0  0 4 12 4 0 2 0 0 0 0 0 2 0 1024 1 0 0 3"},
        Hostile{"string longer than the text", "1 0 1 4000000000 /x 0 2 0 0 0 1"},
        Hostile{"zero byte in a path", std::string("1 0 1 5 /a") + '\0' + "b3 0 2 0 0 0 1"}),
    [](const ::testing::TestParamInfo<Hostile> &info) {
        std::string name;
        for (const char c : std::string(info.param.name))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

// A sound AAC format in a silent fragment loads as AAC silence of that format.
TEST_F(ArchiveTest, SoundAacSilenceLoadsAsAacSilence)
{
    const Loaded loaded = loadList(listText("1 0 1 0  0 4 12 4 44100 2 0 0 0 0 0 2 0 1024 1 0 0 3"),
                                   KvLoadOption::Append);
    EXPECT_EQ(loaded.errors.toStdString(), "");
    ASSERT_TRUE(loaded.out);
    EXPECT_EQ(loaded.out->totalFrames(), 4);
    ASSERT_TRUE(loaded.out->firstSourceInfo());
    EXPECT_GE(loaded.out->firstSourceInfo()->versionCode(), 10);
    EXPECT_EQ(loaded.out->firstSourceInfo()->sampleRate(), 44100);
}

// Every cut of a valid text, short of its closing line break, raises the
// archive error.
TEST_F(ArchiveTest, EveryTruncationRaisesTheArchiveError)
{
    const KvMP3RepackInfoPtr a = fragmentOf(file, 100, 10);
    a->setFrameGain(3, 4);
    a->setFrameSilenced(5, true);
    const KvRepackInfoPtr silence(new KvMP3RepackInfo(file->repacker()->sizeInfo(), 12));
    const KvRepackInfoPtrListPtr doc = documentOf({a, silence, fragmentOf(file, 300, 123)});
    const std::string text = saveFragmentListToString(doc, 0, -1).toStdString();
    ASSERT_EQ(text.back(), '\n');
    const KvRepackInfoPtrListPtr open = documentOf({fragmentOf(file, 0, 1)});
    EXPECT_TRUE(loadClipboard(text, KvLoadOption::Append, open).errors.isEmpty());
    EXPECT_TRUE(loadClipboard(text.substr(0, text.size() - 1), KvLoadOption::Append, open).errors.isEmpty());
    for (size_t cut = 0; cut + 1 < text.size(); ++cut) {
        for (int options : {KvLoadOption::Interactive, KvLoadOption::Append}) {
            EXPECT_THROW(loadClipboard(text.substr(0, cut), options, open), boost::archive::archive_exception)
                << "cut at " << cut << ": " << text.substr(0, cut);
        }
    }
}

// The relative search on its own.
struct Relative {
    const char *name;
    QString saved;   // saved project path; ROOT = the test folder
    QString source;  // source path when saved
    QString expect;  // found path below ROOT, empty for none
};

void PrintTo(const Relative &c, std::ostream *os) { *os << c.name; }

class RelativeSearch : public ::testing::TestWithParam<Relative> {};

TEST_P(RelativeSearch, FindsTheSameRelativePlace)
{
    TempDir dir;
    const QString root = QFileInfo(dir.path()).canonicalFilePath();
    for (const char *f : {"new/music/a.mp3", "new/proj/b.mp3", "new/proj/media/c.mp3", "new/music/live/d.mp3"}) {
        QDir().mkpath(QFileInfo(root + "/" + f).path());
        ASSERT_TRUE(writeFile(root + "/" + f, "x"));
    }
    const Relative &c = GetParam();
    const auto fill = [&](QString s) { return s.replace("ROOT", root); };
    const QString found = findRelativeSource(fill(c.saved), root + "/new/proj/p.kvlproj", fill(c.source));
    EXPECT_EQ(found, c.expect.isEmpty() ? QString() : root + "/" + c.expect);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RelativeSearch,
    ::testing::Values(
        Relative{"sibling_folder", "ROOT/old/proj/p.kvlproj", "ROOT/old/music/a.mp3", "new/music/a.mp3"},
        Relative{"project_folder", "ROOT/old/proj/p.kvlproj", "ROOT/old/proj/b.mp3", "new/proj/b.mp3"},
        Relative{"sub_folder", "ROOT/old/proj/p.kvlproj", "ROOT/old/proj/media/c.mp3", "new/proj/media/c.mp3"},
        Relative{"deeper_sibling", "ROOT/old/proj/p.kvlproj", "ROOT/old/music/live/d.mp3", "new/music/live/d.mp3"},
        Relative{"windows_paths", "C:\\Users\\me\\proj\\p.kvlproj", "C:\\Users\\me\\music\\a.mp3",
                 "new/music/a.mp3"},
        Relative{"windows_mixed_separators", "C:/Users/me/proj/p.kvlproj", "C:\\Users\\me/music\\live\\d.mp3",
                 "new/music/live/d.mp3"},
        Relative{"windows_other_drive", "C:\\Users\\me\\proj\\p.kvlproj", "D:\\Users\\me\\music\\a.mp3", ""},
        Relative{"other_root", "/home/me/proj/p.kvlproj", "C:\\home\\me\\music\\a.mp3", ""},
        Relative{"nothing_there", "ROOT/old/proj/p.kvlproj", "ROOT/old/music/zzz.mp3", ""},
        Relative{"more_levels_up_than_there_are", "/q1/q2/q3/q4/q5/q6/q7/q8/q9/q10/q11/q12/p.kvlproj",
                 "/s/a.mp3", ""}),
    [](const ::testing::TestParamInfo<Relative> &info) { return std::string(info.param.name); });

} // namespace

namespace {

// The header: any library version up to the installed library's is read;
// a damaged header is refused before anything is allocated for it.
TEST_F(ArchiveTest, HeaderVersionsUpToTheLibrarysOwnAreRead)
{
    for (const char *version : {"16", "17", "18"}) {
        const std::string text = std::string("22 serialization::archive ") + version + " 1 0 1 " + item(path) +
                                 " 0 2 0 0 0 1";
        std::istringstream is(text);
        KvTextIArchive ar(is);
        KvRepackInfoPtrListPtr out;
        EXPECT_TRUE(loadFragmentList(KvLoadOption::Append, nullptr, nullptr, QString(), QString(), &out, nullptr,
                                     KvRepackInfoPtrListPtr(), ar, nullptr, nullptr)
                        .isEmpty());
        EXPECT_EQ(rangesOf(out), (Ranges{{0, 2}})) << version;
    }
}

TEST(ArchiveHeader, DamagedHeadersAreRefused)
{
    for (const char *header : {"99999999999999999 serialization::archive 17 0", "18446744073709551615 x",
                               "22 serialization::archivX 17 0", "21 serialization::archive 17 0",
                               "22 serialization::archive 19 0", "22 serialization::archive", "", "x"}) {
        std::istringstream is(header);
        EXPECT_THROW(KvTextIArchive ar(is), boost::archive::archive_exception) << header;
    }
}

} // namespace

namespace {

// The same texts through the library's plain archives: written by a plain
// text_oarchive and read by a plain text_iarchive, they match ours token for
// token.
TEST_F(ArchiveTest, PlainArchivesReadAndWriteTheSameText)
{
    QRandomGenerator rng(77);
    for (int round = 0; round < 20; ++round) {
        const KvRepackInfoPtrListPtr doc = randomDocument(rng, {file});
        const std::string ours = saveFragmentListToString(doc, 0, -1).toStdString();
        const std::string plain = writeArchive([&](boost::archive::text_oarchive &ar) {
            const QString format = QString::fromLatin1(kKvClipboardFormatName);
            ar << format;
            saveFragmentList(doc, ar);
        });
        ASSERT_EQ(plain, ours);
        KvRepackInfoPtrListPtr out;
        readPlainArchive(ours, [&](boost::archive::text_iarchive &ar) {
            QString format;
            ar >> format;
            KvRepackInfoPtrListPtr lookup = documentOf({fragmentOf(file, 0, 1)});
            EXPECT_TRUE(loadFragmentList(KvLoadOption::Append, nullptr, &lookup, QString(), QString(), &out, nullptr,
                                         KvRepackInfoPtrListPtr(), ar, nullptr, nullptr)
                            .isEmpty());
        });
        EXPECT_EQ(rangesOf(out), rangesOf(doc));
        EXPECT_EQ(frameValues(out), frameValues(doc));
    }
}

// Integer tokens read straight from the stream accept what the library's
// own read accepts, and refuse the rest.
TEST(ArchiveTokens, IntegersAsTheLibraryReadsThem)
{
    const std::string text = listText("0 -7 +12 \n\t 9223372036854775807 -9223372036854775808 2147483647 -2147483648");
    std::istringstream is(text);
    KvTextIArchive ar(is);
    int32_t a = 1, b = 0, c = 0, f = 0, g = 0;
    int64_t d = 0, e = 0;
    ar.loadInteger(a);
    ar.loadInteger(b);
    ar.loadInteger(c);
    ar.loadInteger(d);
    ar.loadInteger(e);
    ar.loadInteger(f);
    ar.loadInteger(g);
    EXPECT_EQ(std::vector<int64_t>({a, b, c, d, e, f, g}),
              std::vector<int64_t>({0, -7, 12, INT64_MAX, INT64_MIN, INT32_MAX, INT32_MIN}));
    EXPECT_THROW(ar.loadInteger(a), boost::archive::archive_exception); // end of text

    for (const char *bad : {"2147483648", "-2147483649", "x", "-", "+", "", " ", "--1"}) {
        std::istringstream bis(listText(bad));
        KvTextIArchive bar(bis);
        int32_t v = 0;
        EXPECT_THROW(bar.loadInteger(v), boost::archive::archive_exception) << bad;
    }
}

} // namespace
