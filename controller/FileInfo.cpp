#include "FileInfo.h"

#include <QDir>

FileInfo::FileInfo(QObject *parent) : QObject(parent) {}

FileInfo::~FileInfo() = default;

QUrl FileInfo::fileUrl() const { return m_info ? QUrl(m_info->filePath()) : QUrl(); }

void FileInfo::setFileUrl(const QUrl &url) { setFilePath(url.toLocalFile()); }

QString FileInfo::filePath() const { return m_info ? m_info->filePath() : QString(); }

void FileInfo::setFilePath(const QString &path)
{
    m_info = std::make_shared<QFileInfo>(path);
    emit filePathChanged();
    emit fileUrlChanged();
    emit existsChanged();
    emit isDirChanged();
    emit parentDirChanged();
    emit filenameChanged();
    emit parentDirExistsChanged();
}

bool FileInfo::exists() const { return m_info && m_info->exists(); }

bool FileInfo::isDir() const { return m_info && m_info->isDir(); }

QString FileInfo::parentDirPath() const { return m_info ? QDir::cleanPath(m_info->absolutePath()) : QString(); }

QUrl FileInfo::parentDir() const { return m_info ? QUrl::fromLocalFile(parentDirPath()) : QUrl(); }

bool FileInfo::parentDirExists() const { return m_info && QFileInfo(parentDirPath()).isDir(); }

QString FileInfo::filename() const { return m_info ? m_info->fileName() : QString(); }

bool FileInfo::makeDir(QString dir) { return m_info && QDir(m_info->filePath()).mkdir(dir); }
