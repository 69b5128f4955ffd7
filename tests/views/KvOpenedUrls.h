#pragma once
// Takes the local files that the program hands to the desktop's viewers, so
// tests see what would open without starting a viewer.
#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

class KvOpenedUrls : public QObject {
    Q_OBJECT
public:
    KvOpenedUrls() { QDesktopServices::setUrlHandler("file", this, "open"); }
    ~KvOpenedUrls() override { QDesktopServices::unsetUrlHandler("file"); }
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};
