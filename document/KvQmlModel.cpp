#include "KvQmlModel.h"

#include "KvDocumentFrames.h"
#include "KvFileProperties.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUndoStack>

KvQmlModel::KvQmlModel(QObject *parent) : QObject(parent), m_undoStack(new QUndoStack) {}

KvQmlModel::~KvQmlModel()
{
    // The commands go first: they hold raw pointers into the track list.
    delete m_undoStack;
    m_undoStack = nullptr;
}

void KvQmlModel::setProjectFile(const QString &path)
{
    if (path == m_projectFile) {
        updateTitle();
        return;
    }
    m_projectFile = path;
    updateTitle();
    emit projectFileChanged(m_projectFile);
    emit projectFileNameChanged(projectFileName());
}

QString KvQmlModel::projectFileName() const
{
    return m_projectFile.isEmpty() ? QString() : QFileInfo(m_projectFile).fileName();
}

void KvQmlModel::updateTitle()
{
    const QString app = QCoreApplication::applicationName();
    if (app != m_appTitle) {
        m_appTitle = app;
        emit appTitleChanged(m_appTitle);
    }
    QString title;
    if (!m_projectFile.isEmpty())
        title = tr("%1 - %2").arg(app, projectFileName());
    else if (documentTotalFrames(m_fragmentList.get()) > 0)
        title = tr("%1 - %2").arg(app, tr("Untitled Project"));
    else
        title = app;
    setProjectTitle(title);
}

void KvQmlModel::setProjectTitle(const QString &title)
{
    if (title == m_projectTitle)
        return;
    m_projectTitle = title;
    emit projectTitleChanged(m_projectTitle);
}

void KvQmlModel::clearUndo()
{
    m_undoStack->clear();
    m_undoStack->setClean();
}
