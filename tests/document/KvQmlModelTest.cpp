#include "KvDocumentFrames.h"
#include "KvFileProperties.h"
#include "KvQmlModel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QUndoCommand>
#include <QUndoStack>

#include <KvMP3AudioFragmentList.h>
#include <KvMP3FrameSizeInfo.h>
#include <KvMP3RepackInfo.h>

namespace {

// A cursor over `frames` frames of silence.
KvQmlModel::FragmentListPtr silentDocument(qint64 frames)
{
    KvQmlModel::FragmentListPtr cursor(new KvMP3AudioFragmentList);
    if (frames > 0) {
        const boost::shared_ptr<KvFrameSizeInfo> format(new KvMP3FrameSizeInfo(0, 0, 0));
        cursor->list()->appendFragment(KvRepackInfoPtr(new KvMP3RepackInfo(format, frames)));
    }
    return cursor;
}

class QmlModel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QCoreApplication::setApplicationName("KvTestApp");
    }
};

TEST_F(QmlModel, NewModelShowsThePlainApplicationTitle)
{
    KvQmlModel model;
    EXPECT_EQ(model.projectTitle(), "");
    EXPECT_EQ(model.appTitle(), "");
    EXPECT_FALSE(model.fragmentList());
    EXPECT_FALSE(model.trackList());
    EXPECT_FALSE(model.fileTagProperty());
    EXPECT_FALSE(model.projectChanged());
    ASSERT_TRUE(model.undoStack());

    QSignalSpy app(&model, &KvQmlModel::appTitleChanged);
    QSignalSpy title(&model, &KvQmlModel::projectTitleChanged);
    model.updateTitle();
    ASSERT_EQ(app.count(), 1);
    EXPECT_EQ(app.at(0).at(0).toString(), "KvTestApp");
    ASSERT_EQ(title.count(), 1);
    EXPECT_EQ(title.at(0).at(0).toString(), "KvTestApp");

    model.updateTitle();
    EXPECT_EQ(app.count(), 1);
    EXPECT_EQ(title.count(), 1);
}

TEST_F(QmlModel, UntitledProjectOnlyWithFrames)
{
    KvQmlModel model;
    model.updateTitle();
    QSignalSpy title(&model, &KvQmlModel::projectTitleChanged);

    model.setFragmentList(silentDocument(1000));
    model.updateTitle();
    EXPECT_EQ(model.projectTitle(), "KvTestApp - Untitled Project");

    model.setFragmentList(silentDocument(0));
    QMetaObject::invokeMethod(&model, "setProjectTitle"); // the invokable recomputes
    EXPECT_EQ(model.projectTitle(), "KvTestApp");
    ASSERT_EQ(title.count(), 2);
    EXPECT_EQ(title.at(0).at(0).toString(), "KvTestApp - Untitled Project");
    EXPECT_EQ(title.at(1).at(0).toString(), "KvTestApp");
}

TEST_F(QmlModel, ProjectFileSignalsAndTitle)
{
    KvQmlModel model;
    QStringList order;
    QObject::connect(&model, &KvQmlModel::projectTitleChanged, [&](QString t) { order << "title " + t; });
    QObject::connect(&model, &KvQmlModel::projectFileChanged, [&](QString f) { order << "file " + f; });
    QObject::connect(&model, &KvQmlModel::projectFileNameChanged, [&](QString n) { order << "name " + n; });

    model.setProjectFile("/music/some dir/My Mix.kvlproj");
    EXPECT_EQ(order, QStringList({"title KvTestApp - My Mix.kvlproj",
                                  "file /music/some dir/My Mix.kvlproj", "name My Mix.kvlproj"}));
    EXPECT_EQ(model.projectFileName(), "My Mix.kvlproj");
    EXPECT_EQ(model.property("projectFileName").toString(), "My Mix.kvlproj");

    // The same path again: no change signal, but the title is recomputed.
    order.clear();
    QCoreApplication::setApplicationName("Renamed");
    model.setProjectFile("/music/some dir/My Mix.kvlproj");
    EXPECT_EQ(order, QStringList({"title Renamed - My Mix.kvlproj"}));
    QCoreApplication::setApplicationName("KvTestApp");

    order.clear();
    model.setProjectFile(QString());
    EXPECT_EQ(model.projectFileName(), "");
    EXPECT_EQ(order, QStringList({"title KvTestApp", "file ", "name "}));
}

struct Flagged : QUndoCommand {
    bool *alive;
    explicit Flagged(bool *a) : alive(a) { *alive = true; }
    ~Flagged() override { *alive = false; }
    void redo() override {}
    void undo() override {}
};

TEST_F(QmlModel, ClearUndoLeavesAnEmptyCleanStack)
{
    KvQmlModel model;
    bool alive = false;
    model.undoStack()->push(new Flagged(&alive));
    model.setProjectChanged(true);
    ASSERT_FALSE(model.undoStack()->isClean());
    model.clearUndo();
    EXPECT_FALSE(alive);
    EXPECT_EQ(model.undoStack()->count(), 0);
    EXPECT_TRUE(model.undoStack()->isClean());
    EXPECT_TRUE(model.projectChanged()) << "the outside-change flag still marks the project dirty";
}

TEST_F(QmlModel, DestructionDeletesTheCommands)
{
    bool alive = false;
    {
        KvQmlModel model;
        model.setTrackList(KvQmlModel::FilePropertiesPtr(new KvFileProperties(nullptr)));
        model.undoStack()->push(new Flagged(&alive));
        EXPECT_TRUE(alive);
    }
    EXPECT_FALSE(alive);
}

TEST_F(QmlModel, MutexIsNotRecursive)
{
    KvQmlModel model;
    ASSERT_TRUE(model.mutex().tryLock());
    EXPECT_FALSE(model.mutex().tryLock());
    model.mutex().unlock();
}

} // namespace
