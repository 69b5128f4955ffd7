#pragma once
// Asks how many seconds of silence to insert at the current position and hands the
// length, as a whole number of the document's frames, to the controller when it closes.
#include <QDialog>
#include <QPointer>

#include <boost/shared_ptr.hpp>

#include <memory>

class KvFrameSizeInfo;
class KvQmlController;
namespace Ui { class KvInsertSilenceDlg; }

class KvInsertSilenceDlg : public QDialog {
    Q_OBJECT
public:
    // controller: the one answered when the dialog closes; null for the program's one.
    KvInsertSilenceDlg(const boost::shared_ptr<KvFrameSizeInfo> &format, QWidget *parent = nullptr,
                       KvQmlController *controller = nullptr);
    ~KvInsertSilenceDlg() override;

    // Seconds as whole frames of the format, rounded to the nearest frame (halves up);
    // 0 for a length that is no finite number or too large to count.
    static qint64 framesForSeconds(double seconds, const KvFrameSizeInfo &format);
    // The longest silence inserted at once.
    static constexpr double maximumSeconds = 3600.0;

    void done(int result) override;

private slots:
    void on_lineEditInsSilentSecs_textChanged(const QString &text);

private:
    void readSeconds(const QString &text);
    bool isValid() const;
    void updateOk();

    QPointer<KvQmlController> controller;
    boost::shared_ptr<KvFrameSizeInfo> format;
    qint64 frames = 0;
    double seconds = 0.0;
    std::unique_ptr<Ui::KvInsertSilenceDlg> ui;
};
