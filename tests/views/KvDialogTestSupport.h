#pragma once
// Small helpers of the dialog tests: named children, button-box buttons and a
// controller with a document of silence.
#include <KvMP3AudioFragmentList.h>
#include <KvMP3FrameSizeInfo.h>
#include <KvMP3RepackInfo.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QPushButton>
#include <QSettings>
#include <QWidget>

#include <memory>

namespace kvdlgtest {

template <typename T>
T *child(const QWidget *parent, const char *name)
{
    T *c = parent->findChild<T *>(QLatin1String(name));
    EXPECT_TRUE(c) << "no " << name;
    return c;
}

inline QPushButton *boxButton(const QWidget *dialog, QDialogButtonBox::StandardButton which)
{
    auto *box = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    return box ? box->button(which) : nullptr;
}

// MPEG-1 Layer III, 44.1 kHz, stereo: 1152 samples a frame.
inline boost::shared_ptr<KvFrameSizeInfo> mp3Format44k()
{
    return boost::shared_ptr<KvFrameSizeInfo>(new KvMP3FrameSizeInfo(0, 0, 0));
}

// A controller with a model whose document holds `frames` frames of silence.
struct SilentProject {
    explicit SilentProject(qint64 frames)
    {
        controller.reset(new KvQmlController);
        model.reset(new KvQmlModel);
        controller->setModel(model.get());
        KvQmlModel::FragmentListPtr cursor(new KvMP3AudioFragmentList);
        cursor->list()->appendFragment(KvRepackInfoPtr(new KvMP3RepackInfo(mp3Format44k(), frames)));
        model->setFragmentList(cursor);
        controller->refreshDocumentState();
    }
    ~SilentProject()
    {
        // The commands refer to the controller: they go first.
        model.reset();
        controller.reset();
    }
    qint64 totalFrames() const { return qint64(controller->totalFrames()); }

    std::unique_ptr<KvQmlController> controller;
    std::unique_ptr<KvQmlModel> model;
};

struct FreshSettings {
    FreshSettings() { QSettings().clear(); }
};

} // namespace kvdlgtest
