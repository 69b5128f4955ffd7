// Fragment-list texts against exports: a document written and read back
// exports byte for byte as the original does; and kvbench archive / load,
// the same road from the command line.
#include "KvArchiveTestSupport.h"
#include "KvEditList.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QStringList>

using namespace kvtest;

namespace {

struct Source {
    QString path;
    qint64 frames;
};

// Sources that may stand in one document, for each kind of fixture.
std::vector<std::vector<Source>> sourceGroups()
{
    const std::vector<QStringList> names = {{"cbr128_joint.mp3", "cbr128_stereo.mp3", "vbr_v2.mp3"},
                                            {"mpeg2_mono_22k.mp3"},
                                            {"mpeg25_mono_8k.mp3"},
                                            {"cbr128_crc.mp3"},
                                            {"vbr_crc_48k.mp3"}};
    std::vector<std::vector<Source>> groups;
    for (const QStringList &group : names) {
        groups.emplace_back();
        for (const QString &name : group)
            groups.back().push_back({fixture(name), openMp3(name)->frameCount()});
    }
    return groups;
}

// An edit list of source ranges and silence, then gain, mute and delete edits.
QString randomEditList(QRandomGenerator &rng, const std::vector<Source> &sources)
{
    QStringList lines;
    qint64 total = 0;
    const int pieces = int(randomIn(rng, 1, 5));
    for (int p = 0; p < pieces; ++p) {
        if (p > 0 && rng.bounded(4) == 0) {
            const qint64 n = randomIn(rng, 1, 60);
            lines << QString("silence %1").arg(n);
            total += n;
            continue;
        }
        const Source &s = sources[size_t(randomIn(rng, 0, qint64(sources.size()) - 1))];
        const qint64 first = randomIn(rng, 0, s.frames - 2);
        const qint64 count = randomIn(rng, 1, std::min<qint64>(250, s.frames - first));
        lines << QString("src %1 %2 %3").arg(s.path).arg(first).arg(count);
        total += count;
    }
    const int edits = int(randomIn(rng, 0, 6));
    for (int e = 0; e < edits && total > 2; ++e) {
        const qint64 from = randomIn(rng, 0, total - 2);
        const qint64 count = randomIn(rng, 1, std::min<qint64>(70, total - from - 1));
        switch (rng.bounded(3)) {
        case 0:
            lines << QString("gain %1 %2 %3").arg(from).arg(count).arg(randomIn(rng, -8, 8));
            break;
        case 1:
            lines << QString("mute %1 %2").arg(from).arg(count);
            break;
        default:
            lines << QString("delete %1 %2").arg(from).arg(count);
            total -= count;
        }
    }
    return lines.join('\n') + '\n';
}

// Silence is read back with fresh edit values (its stored runs are read and
// dropped), so gains put on silent frames do not come back; they only change
// the global_gain of frames that carry no audio. The loaded document exports
// byte for byte as the original with its silence reset does, and decodes
// exactly as the original.
TEST(ArchiveExport, LoadedDocumentsExportByteForByteAsTheOriginals)
{
    TempDir dir;
    QRandomGenerator rng(4242);
    const std::vector<std::vector<Source>> groups = sourceGroups();
    int silenceEdited = 0;
    for (int round = 0; round < 40; ++round) {
        const QString list = randomEditList(rng, groups[size_t(round) % groups.size()]);
        SCOPED_TRACE(list.toStdString());
        KvEditListDocument built;
        QString error;
        ASSERT_TRUE(kvBuildEditList(list, built, error)) << error.toStdString();
        const QString original = dir.file(QString("original%1.mp3").arg(round));
        ASSERT_EQ(kvSaveDocument(built.document, original), QString());

        // Read back with nothing open: every source is opened again.
        const std::string text = saveFragmentListToString(built.document, 0, -1).toStdString();
        const Loaded loaded = loadClipboard(text, KvLoadOption::Append);
        ASSERT_TRUE(loaded.errors.isEmpty()) << loaded.errors.toStdString();
        ASSERT_EQ(rangesOf(loaded.out), rangesOf(built.document));
        const QString again = dir.file(QString("again%1.mp3").arg(round));
        ASSERT_EQ(kvSaveDocument(loaded.out, again), QString());
        const QByteArray pcm = decodeMpg123(original);
        ASSERT_FALSE(pcm.isEmpty());
        EXPECT_TRUE(pcm == decodeMpg123(again)) << "decodes differ";

        bool edited = false;
        for (const KvRepackInfoPtr &f : *built.document->list()) {
            if (!f->sourcePath().isEmpty())
                continue;
            for (qint64 i = 0; i < f->frameCount(); ++i) {
                edited = edited || f->frameGain(i) != 0 || !f->isFrameSilenced(i);
                f->setFrameGain(i, 0);
                f->setFrameSilenced(i, true);
            }
        }
        silenceEdited += edited ? 1 : 0;
        const QString reset = dir.file(QString("reset%1.mp3").arg(round));
        ASSERT_EQ(kvSaveDocument(built.document, reset), QString());
        const QByteArray a = readFile(reset), b = readFile(again);
        EXPECT_TRUE(a == b) << "exports differ: " << a.size() << " and " << b.size() << " bytes";
        if (!edited) {
            EXPECT_TRUE(readFile(original) == b);
        }
    }
    // Both kinds of document came up.
    EXPECT_GT(silenceEdited, 0);
    EXPECT_LT(silenceEdited, 40);
}

int kvbench(const QStringList &args, QByteArray *out, QByteArray *err)
{
    return runProgram(KVBENCH_PATH, args, out, err);
}

TEST(KvBenchArchive, ArchiveThenLoadExportsAsExportDoes)
{
    TempDir dir;
    const QString list = QString("src %1 10 200\nsilence 12\nsrc %2 0 150\ngain 50 100 -3\nmute 20 5\ndelete 300 7\n")
                             .arg(fixture("cbr128_joint.mp3"), fixture("vbr_v2.mp3"));
    ASSERT_TRUE(writeFile(dir.file("doc.edits"), list.toUtf8()));

    QByteArray text, err;
    ASSERT_EQ(kvbench({"archive", dir.file("doc.edits")}, &text, &err), 0) << err.toStdString();
    KvEditListDocument built;
    QString error;
    ASSERT_TRUE(kvBuildEditList(list, built, error));
    EXPECT_EQ(text, saveFragmentListToString(built.document, 0, -1).toUtf8());
    ASSERT_TRUE(writeFile(dir.file("doc.txt"), text));

    ASSERT_EQ(kvbench({"export", dir.file("exported.mp3"), dir.file("doc.edits")}, nullptr, &err), 0)
        << err.toStdString();
    ASSERT_EQ(kvbench({"load", dir.file("doc.txt"), dir.file("loaded.mp3")}, nullptr, &err), 0) << err.toStdString();
    const QByteArray exported = readFile(dir.file("exported.mp3"));
    ASSERT_FALSE(exported.isEmpty());
    EXPECT_TRUE(exported == readFile(dir.file("loaded.mp3")));
}

TEST(KvBenchArchive, FailuresExitWithTheErrorOnStderr)
{
    TempDir dir;
    const QString missing = dir.file("gone.mp3");
    ASSERT_TRUE(writeFile(dir.file("missing.txt"),
                          QByteArray(listText("0 1 25 mp3Morvelta.clipboard.fmt 1 ").c_str()) +
                              QByteArray::number(missing.toUtf8().size()) + " " + missing.toUtf8() + " 0 3 0 0 0 2"));
    const std::string valid =
        listText("0 1 25 mp3Morvelta.clipboard.fmt 1 ") + std::to_string(fixture("vbr_v2.mp3").toUtf8().size()) + " " +
        fixture("vbr_v2.mp3").toStdString() + " 0 3 0 0 0 2";
    ASSERT_TRUE(writeFile(dir.file("cut.txt"), QByteArray::fromStdString(valid.substr(0, valid.size() - 3))));
    ASSERT_TRUE(writeFile(dir.file("valid.txt"), QByteArray::fromStdString(valid)));
    ASSERT_TRUE(writeFile(dir.file("bad.edits"), "src /nonexistent/x.mp3 0 5\n"));

    struct Case {
        QStringList args;
        const char *stderrPart;
    };
    const Case cases[] = {
        {{"load", dir.file("nothing.txt"), dir.file("o.mp3")}, "nothing.txt"},
        {{"load", dir.file("missing.txt"), dir.file("o.mp3")}, "Missing file fragment cannot be loaded into project."},
        {{"load", dir.file("cut.txt"), dir.file("o.mp3")}, "damaged fragment-list text"},
        {{"load", dir.file("valid.txt"), dir.file("o.wav")}, "cannot save"},
        {{"archive", dir.file("bad.edits")}, "nonexistent"},
        {{"archive", dir.file("nothing.edits")}, "nothing.edits"},
    };
    for (const Case &c : cases) {
        QByteArray out, err;
        EXPECT_EQ(kvbench(c.args, &out, &err), 1) << c.args.join(' ').toStdString();
        EXPECT_TRUE(err.contains(c.stderrPart)) << err.toStdString();
    }
    QByteArray err;
    EXPECT_EQ(kvbench({"load", dir.file("valid.txt")}, nullptr, &err), 2);
    EXPECT_EQ(kvbench({"load", dir.file("valid.txt"), dir.file("ok.mp3")}, nullptr, &err), 0) << err.toStdString();
}

} // namespace
