#pragma once
// A file's facts as properties, for the touch interface's sources (which
// create these objects; the program itself makes none).
#include <QFileInfo>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

class FileInfo : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QUrl fileUrl READ fileUrl WRITE setFileUrl NOTIFY fileUrlChanged)
    Q_PROPERTY(QString filePath READ filePath WRITE setFilePath NOTIFY filePathChanged)
    Q_PROPERTY(bool exists READ exists NOTIFY existsChanged)
    Q_PROPERTY(bool isDir READ isDir NOTIFY isDirChanged)
    Q_PROPERTY(QUrl parentDir READ parentDir NOTIFY parentDirChanged)
    Q_PROPERTY(bool parentDirExists READ parentDirExists NOTIFY parentDirExistsChanged)
    Q_PROPERTY(QString filename READ filename NOTIFY filenameChanged)

public:
    explicit FileInfo(QObject *parent = nullptr);
    ~FileInfo() override;

    QUrl fileUrl() const;
    // Each setter takes the new file and announces every property, changed or not.
    void setFileUrl(const QUrl &url);
    QString filePath() const;
    void setFilePath(const QString &path);
    bool exists() const;
    bool isDir() const;
    // The local-file URL of the file's folder.
    QUrl parentDir() const;
    bool parentDirExists() const;
    QString filename() const;

    // Creates the sub-folder `dir` in the folder the path names.
    Q_INVOKABLE bool makeDir(QString dir);

signals:
    void fileUrlChanged();
    void filePathChanged();
    void existsChanged();
    void isDirChanged();
    void parentDirChanged();
    void parentDirExistsChanged();
    void filenameChanged();

private:
    QString parentDirPath() const;

    std::shared_ptr<QFileInfo> m_info;
};
