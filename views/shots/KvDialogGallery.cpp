// Shows one of the program's dialogs on its own, for screenshots of dialogs that no
// window command opens yet:
//   kv_dialog_gallery NAME [MP3]
// NAME: insert-silence, normalize (scans MP3), options-0 .. options-4 (the tab),
// convert-notice, project-notice, lame-notice, heaac-notice, about, rate (as offered
// after an export), rate-wide (the same, wider than tall).
// The dialog is shown without a modal loop; the program ends when it closes.
#include <KvAboutDlg.h>
#include <KvEngineFactories.h>
#include <KvInsertSilenceDlg.h>
#include <KvLameInstallDlg.h>
#include <KvMP3AudioFile.h>
#include <KvMP3FrameSizeInfo.h>
#include <KvMP3RepackInfoPtrList.h>
#include <KvNormalizeDlg.h>
#include <KvNoticeDlg.h>
#include <KvOptions.h>
#include <KvQmlController.h>
#include <KvRateAppDlg.h>

#include <QApplication>
#include <QSettings>

#include <cstdio>

namespace {

QDialog *makeDialog(const QString &name, const QString &mp3)
{
    if (name == "insert-silence") {
        QSettings().setValue("Settings/InsertSilenceLastNumSecs", 38.0 * 1152 / 44100);
        return new KvInsertSilenceDlg(boost::shared_ptr<KvFrameSizeInfo>(new KvMP3FrameSizeInfo(0, 0, 0)));
    }
    if (name == "normalize") {
        boost::shared_ptr<KvMP3AudioFile> file(new KvMP3AudioFile);
        const QString error = file->open(mp3);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return nullptr;
        }
        boost::shared_ptr<KvRepackInfoPtrList> doc(new KvMP3RepackInfoPtrList);
        doc->appendFragment(file->createRepackInfo(0, -1));
        KvPrepareRepackFlagged(doc, false);
        return new KvNormalizeDlg(doc);
    }
    if (name.startsWith("options-")) {
        QSettings().setValue(KvOptions::tabIndexKey, name.mid(8).toInt());
        auto *options = new KvOptions;
        // As the Options command fills it with the built-in values.
        options->ui.spinBoxHZoom->setValue(4);
        options->ui.spinBoxDisplayOffset->setValue(50);
        options->ui.checkBoxDisplayGap->setChecked(true);
        options->setFrameBlockTime(0.5);
        options->setFramePageTime(5.0);
        options->ui.spinBoxVolIncDec->setValue(4);
        options->ui.spinBoxVolFade->setValue(4);
        options->ui.lineEditTrackNameFormat->setText("%0N %T");
        options->ui.checkBoxShowMainToolbar->setChecked(true);
        options->ui.checkBoxLargeMainToolbar->setChecked(true);
        options->ui.checkBoxShowMediaToolbar->setChecked(true);
        return options;
    }
    if (name == "convert-notice")
        return new KvConvertWarnDlg;
    if (name == "project-notice")
        return new KvSaveProjWarnDlg;
    if (name == "lame-notice")
        return new KvLameInstallDlg;
    if (name == "heaac-notice")
        return new KvHeAacWarningDlg;
    if (name == "about")
        return new KvAboutDlg;
    if (name == "rate" || name == "rate-wide")
        return new KvRateAppDlg(true);
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Veltranix Ltd");
    QCoreApplication::setApplicationName("mp3Morvelta");
    QCoreApplication::setApplicationVersion("3.2.5.138");
    // Dark mode as the program finds it: from the palette, through its controller.
    KvQmlController controller;
    controller.CheckIsDarkMode(app.palette());
    const QStringList args = app.arguments();
    QDialog *dialog = args.size() > 1 ? makeDialog(args.at(1), args.value(2)) : nullptr;
    if (!dialog) {
        std::fprintf(stderr, "usage: kv_dialog_gallery NAME [MP3]\n");
        return 2;
    }
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    if (args.at(1) == "rate-wide")
        dialog->resize(dialog->height() * 3 / 2, dialog->height() * 3 / 4);
    return app.exec();
}
