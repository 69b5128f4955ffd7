// What the user does while an export holds the document's lock: the export
// lets the window repaint once before it writes, and nothing that arrives then
// may change the document. Keys wait until the file is written; a drop is refused.
// The window runs on a private X server (Xvfb), so that keys come as a
// person's keys do: queued by the X server until the program reads them.
#include <MainWindow.h>

#include "../controller/KvControllerTestSupport.h"

#include <KvFakeUiServices.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>
#include <KvTagProperty.h>
#include <KvTestSupport.h>
#include <KvXSession.h>

#include <gtest/gtest.h>

#include <cstdio>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>

namespace {

kvtest::XSession *x = nullptr;

// Notes every dialog that shows, whether the document was locked then, and
// closes it again.
class DialogWatch : public QObject {
public:
    explicit DialogWatch(KvQmlModel *model) : m_model(model) { qApp->installEventFilter(this); }
    ~DialogWatch() override { qApp->removeEventFilter(this); }

    QStringList titles;
    QList<bool> lockedWhenShown;

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *dialog = qobject_cast<QDialog *>(object);
        if (dialog && event->type() == QEvent::Show) {
            titles << dialog->windowTitle();
            const bool free = m_model->mutex().tryLock();
            if (free)
                m_model->mutex().unlock();
            lockedWhenShown << !free;
            QTimer::singleShot(0, dialog, &QDialog::reject);
        }
        return false;
    }

private:
    KvQmlModel *m_model;
};

class DropWindow : public MainWindow {
public:
    using MainWindow::dropEvent;
};

class ExportInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().clear();
        QString error;
        window.documentModel()->setFragmentList(kvDocumentOfFile(kvtest::fixture("cbr128_joint.mp3"), &error));
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        window.documentModel()->setFileTagProperty(KvTagPropertyPtr(new KvTagProperty(0, KvTagProperty::EndMarker)));
        window.appController()->refreshDocumentState();
        QMetaObject::invokeMethod(&window, "ReEvaluateEnabledActions");
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        // The X server gives the window the keyboard, as a click on it would.
        int code = -1;
        x->xdotool({"windowfocus", "--sync", QString::number(window.winId())}, &code);
        ASSERT_EQ(code, 0);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        ui.saveAnswers << out.file("export.mp3");
    }
    void TearDown() override { QSettings().clear(); }

    void exportAll()
    {
        QAction *exportAll = window.findChild<QAction *>("actionExport_All_As");
        ASSERT_TRUE(exportAll && exportAll->isEnabled());
        exportAll->trigger();
    }

    kvtest::FakeUiServices ui;
    KvScopedUiServices scopedUi{&ui};
    kvtest::TempDir out;
    DropWindow window;
};

TEST_F(ExportInputTest, KeysPressedBeforeTheFileIsWrittenWaitForTheExport)
{
    // Ctrl+D opens the file's tag editor, which changes the document without
    // taking the lock: pressed while the export prepares, it is handled after.
    DialogWatch watch(window.documentModel());
    int code = -1;
    x->xdotool({"key", "--clearmodifiers", "ctrl+d"}, &code);
    ASSERT_EQ(code, 0);
    // The X server has the key; it waits for the program to read it.
    QThread::msleep(200);
    exportAll();
    EXPECT_GT(QFileInfo(out.file("export.mp3")).size(), 0);
    EXPECT_TRUE(watch.titles.isEmpty()) << "a dialog ran inside the export: " << watch.titles.join(", ").toStdString();

    // Afterwards the key is handled, with the document free again.
    for (int i = 0; i < 100 && watch.titles.isEmpty(); ++i)
        QTest::qWait(50);
    EXPECT_EQ(watch.titles, QStringList{"Edit File Information"});
    EXPECT_EQ(watch.lockedWhenShown, QList<bool>{false});
}

TEST_F(ExportInputTest, FilesDroppedWhileTheDocumentIsLockedAreNotOpened)
{
    const KvQmlModel::FragmentListPtr before = window.documentModel()->fragmentList();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(kvtest::fixture("cbr64_mono.mp3"))});
    QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    // A drop is no key or click: it arrives during the export's repaint, as a
    // timer does.
    bool locked = false;
    QTimer::singleShot(0, &window, [&] {
        locked = !window.documentModel()->mutex().tryLock();
        if (!locked)
            window.documentModel()->mutex().unlock();
        window.dropEvent(&drop);
    });
    exportAll();
    EXPECT_TRUE(locked) << "the drop did not come during the export";
    EXPECT_EQ(window.documentModel()->fragmentList(), before);
    EXPECT_GT(QFileInfo(out.file("export.mp3")).size(), 0);

    // With the document free, the same drop opens the file.
    window.dropEvent(&drop);
    EXPECT_NE(window.documentModel()->fragmentList(), before);
}

} // namespace

// The settings in a private folder; the window on the private X server.
int main(int argc, char **argv)
{
    kvtest::XSession session;
    if (!session.isRunning()) {
        fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    x = &session;
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("DISPLAY", session.display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("KvTestOrg");
    QCoreApplication::setApplicationName("KvGuiTest");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
