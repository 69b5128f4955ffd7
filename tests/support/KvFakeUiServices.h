#pragma once
// UI services for tests: every question, chooser and dialog is recorded and
// answered from queues, nothing is shown. Header only; link kv_audio.
// Install with KvScopedUiServices or hand it to the controller.
#include <KvUiServices.h>

#include <QList>
#include <QPalette>
#include <QStringList>

#include <functional>

namespace kvtest {

struct AskedMessage {
    QWidget *parent = nullptr;
    KvUi::Icon icon = KvUi::NoIcon;
    QString title;
    QString text;
    int buttons = 0;
    int defaultButton = 0;
};

class FakeUiServices : public KvUiServices {
public:
    // Boxes: answered by answerWith when set, else by the next queued
    // answer, else with the box's default button.
    std::function<int(const AskedMessage &)> answerWith;
    QList<int> answers;
    QList<AskedMessage> messages;

    // Choosers: the next queued answer, else cancelled. Captions of every
    // chooser, and the folder each open chooser started in.
    QList<QStringList> openAnswers;
    QStringList saveAnswers;
    QStringList folderAnswers;
    QStringList captions;
    QStringList openDirs;

    // Dialogs: what was run, and the result every run gives.
    QStringList dialogs;
    int dialogResult = 0;
    QList<KvUi::Notice> notices;
    QList<bool> rateAppAutomatic;
    // The recorder handed out by createRecorder; none unless set.
    std::function<QObject *(QObject *controller, QWidget *parent)> makeRecorder;

    // Progress: every text shown (repeats once), whether the window is up,
    // and the update at which the user cancels (1: the first; -1: never).
    QStringList progressTexts;
    bool progressShown = false;
    int cancelProgressAfter = -1;

    // Appearance and windows.
    QPalette fakePalette;
    bool useFakePalette = false;
    QWidget *modal = nullptr;
    QWidget *active = nullptr;

    QStringList texts() const
    {
        QStringList list;
        for (const AskedMessage &m : messages)
            list << m.text;
        return list;
    }

    int message(QWidget *parent, KvUi::Icon icon, const QString &title, const QString &text, int buttons,
                int defaultButton) override
    {
        const AskedMessage asked{parent, icon, title, text, buttons, defaultButton};
        messages << asked;
        if (answerWith)
            return answerWith(asked);
        return answers.isEmpty() ? defaultButton : answers.takeFirst();
    }
    QStringList openFileNames(QWidget *, const QString &caption, const QString &dir, const QString &,
                              QString *) override
    {
        captions << caption;
        openDirs << dir;
        return openAnswers.isEmpty() ? QStringList() : openAnswers.takeFirst();
    }
    QString openFileName(QWidget *, const QString &caption, const QString &dir, const QString &, int) override
    {
        captions << caption;
        openDirs << dir;
        const QStringList names = openAnswers.isEmpty() ? QStringList() : openAnswers.takeFirst();
        return names.isEmpty() ? QString() : names.first();
    }
    QString saveFileName(QWidget *, const QString &caption, const QString &, const QString &) override
    {
        captions << caption;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
    QString existingDirectory(QWidget *, const QString &caption, const QString &, int) override
    {
        captions << caption;
        return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
    }
    int runInsertSilence(QObject *, const boost::shared_ptr<KvFrameSizeInfo> &, QWidget *) override
    {
        dialogs << "insertSilence";
        return dialogResult;
    }
    int runNormalize(QObject *, const ListPtr &, QWidget *) override
    {
        dialogs << "normalize";
        return dialogResult;
    }
    int runTrackProperties(KvTrackPropertiesRequest &) override
    {
        dialogs << "trackProperties";
        return dialogResult;
    }
    int runNotice(KvUi::Notice notice, QWidget *) override
    {
        dialogs << "notice";
        notices << notice;
        return dialogResult;
    }
    int runConvert(QObject *, const QList<ListPtr> &, QWidget *, int, int, bool, bool) override
    {
        dialogs << "convert";
        return dialogResult;
    }
    int runRecord(QObject *, QWidget *) override
    {
        dialogs << "record";
        return dialogResult;
    }
    QObject *createRecorder(QObject *controller, QWidget *parent) override
    {
        dialogs << "recorder";
        return makeRecorder ? makeRecorder(controller, parent) : nullptr;
    }
    int runRateApp(bool isAutomatic, QWidget *) override
    {
        dialogs << "rateApp";
        rateAppAutomatic << isAutomatic;
        return dialogResult;
    }
    bool showProgress(QWidget *, const QString &text, int, int) override
    {
        if (progressTexts.isEmpty() || progressTexts.last() != text)
            progressTexts << text;
        progressShown = true;
        if (cancelProgressAfter < 0)
            return true;
        if (cancelProgressAfter > 0)
            --cancelProgressAfter;
        return cancelProgressAfter > 0;
    }
    void hideProgress() override { progressShown = false; }
    QPalette palette() const override { return useFakePalette ? fakePalette : KvUiServices::palette(); }
    QWidget *activeModalWidget() const override { return modal; }
    QWidget *activeWindow() const override { return active; }
};

} // namespace kvtest
