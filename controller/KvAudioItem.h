#pragma once
// One found audio file as the touch interface lists it.
#include <QObject>
#include <QString>

class KvAudioItem : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString fileName READ fileName CONSTANT)
    Q_PROPERTY(QString artist READ artist CONSTANT)
    Q_PROPERTY(QString album READ album CONSTANT)
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString type READ type CONSTANT)

public:
    KvAudioItem(const QString &fileName, const QString &artist, const QString &album, const QString &title,
                const QString &type, QObject *parent = nullptr)
        : QObject(parent), m_fileName(fileName), m_artist(artist), m_album(album), m_title(title), m_type(type)
    {
    }

    QString fileName() const { return m_fileName; }
    QString artist() const { return m_artist; }
    QString album() const { return m_album; }
    QString title() const { return m_title; }
    QString type() const { return m_type; }

private:
    QString m_fileName;
    QString m_artist;
    QString m_album;
    QString m_title;
    QString m_type;
};
