#pragma once
#include "KvTagProperty.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <boost/shared_ptr.hpp>

class KvAudioFragmentList;
class KvFileProperties;
class QUndoStack;

// The edited state of the open project: file name and titles, the document
// cursor, its track list, the whole-file tags, the undo stack, a flag for
// changes made outside the undo stack, and the mutex every edit holds.
class KvQmlModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString projectFile READ projectFile NOTIFY projectFileChanged)
    Q_PROPERTY(QString projectFileName READ projectFileName NOTIFY projectFileNameChanged)
    Q_PROPERTY(QString projectTitle READ projectTitle NOTIFY projectTitleChanged)
    Q_PROPERTY(QString appTitle READ appTitle NOTIFY appTitleChanged)

public:
    using FragmentListPtr = boost::shared_ptr<KvAudioFragmentList>;
    using FilePropertiesPtr = boost::shared_ptr<KvFileProperties>;

    explicit KvQmlModel(QObject *parent = nullptr);
    ~KvQmlModel() override;

    FragmentListPtr fragmentList() const { return m_fragmentList; }
    void setFragmentList(const FragmentListPtr &list) { m_fragmentList = list; }
    FilePropertiesPtr trackList() const { return m_trackList; }
    void setTrackList(const FilePropertiesPtr &list) { m_trackList = list; }
    KvTagPropertyPtr fileTagProperty() const { return m_fileTagProperty; }
    void setFileTagProperty(const KvTagPropertyPtr &property) { m_fileTagProperty = property; }

    QUndoStack *undoStack() const { return m_undoStack; }
    // Not recursive: a command's redo or undo must never lock it again.
    QMutex &mutex() { return m_mutex; }
    // Set by the controller for changes outside the undo stack, cleared on save.
    bool projectChanged() const { return m_projectChanged; }
    void setProjectChanged(bool changed) { m_projectChanged = changed; }

    QString projectFile() const { return m_projectFile; }
    void setProjectFile(const QString &path);
    QString projectFileName() const;
    QString projectTitle() const { return m_projectTitle; }
    QString appTitle() const { return m_appTitle; }

    // Recomputes the application and document titles.
    Q_INVOKABLE void setProjectTitle() { updateTitle(); }
    void updateTitle();
    // Clears the undo stack (deleting every command) and marks it clean.
    void clearUndo();

signals:
    void projectFileChanged(QString projectFile);
    void projectTitleChanged(QString projectTitle);
    void projectFileNameChanged(QString projectFileName);
    void appTitleChanged(QString appTitle);
    void frameWidgetChanged();

private:
    void setProjectTitle(const QString &title);

    QString m_projectFile;
    QString m_projectTitle;
    QString m_appTitle;
    FragmentListPtr m_fragmentList;
    FilePropertiesPtr m_trackList;
    KvTagPropertyPtr m_fileTagProperty;
    QUndoStack *m_undoStack;
    bool m_projectChanged = false;
    QMutex m_mutex;
};
