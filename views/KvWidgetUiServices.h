#pragma once
// The UI services with widgets: message boxes through showMessageBox, Qt's
// file dialogs, the program's dialogs, the application palette and windows.
// The program installs one at start-up (installKvWidgetUiServices).
#include <KvUiServices.h>

#include <QPointer>

class QProgressDialog;

class KvWidgetUiServices : public KvUiServices {
public:
    int message(QWidget *parent, KvUi::Icon icon, const QString &title, const QString &text, int buttons,
                int defaultButton) override;

    QStringList openFileNames(QWidget *parent, const QString &caption, const QString &dir, const QString &filter,
                              QString *selectedFilter) override;
    QString openFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter,
                         int options) override;
    QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) override;
    QString existingDirectory(QWidget *parent, const QString &caption, const QString &dir, int options) override;

    int runInsertSilence(QObject *controller, const boost::shared_ptr<KvFrameSizeInfo> &format,
                         QWidget *parent) override;
    int runNormalize(QObject *controller, const ListPtr &frames, QWidget *parent) override;
    int runTrackProperties(KvTrackPropertiesRequest &request) override;
    int runNotice(KvUi::Notice notice, QWidget *parent) override;
    int runConvert(QObject *controller, const QList<ListPtr> &lists, QWidget *parent, int pitch, int tempo,
                   bool tracks, bool selection) override;
    int runRecord(QObject *controller, QWidget *parent) override;
    QObject *createRecorder(QObject *controller, QWidget *parent) override;
    int runRateApp(bool isAutomatic, QWidget *parent) override;

    bool showProgress(QWidget *parent, const QString &text, int value, int maximum) override;
    void hideProgress() override;

    QPalette palette() const override;
    QWidget *activeModalWidget() const override;
    QWidget *activeWindow() const override;
    QWidget *widgetOf(QObject *object) const override;

private:
    QPointer<QProgressDialog> m_progress;
};

// Installs the one process-wide instance (again: no effect) and returns it.
KvWidgetUiServices &installKvWidgetUiServices();
