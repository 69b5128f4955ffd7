#pragma once
// The destination of a saver: refused when the program holds it open (one of
// the document's sources, say); written under a temporary name in the same
// folder, with the same extension, and renamed over the target on success, so
// that a failed save leaves the target as it was.
#include <QCoreApplication>
#include <QString>

class KvSaveTarget {
    Q_DECLARE_TR_FUNCTIONS(KvSaveTarget)
public:
    explicit KvSaveTarget(const QString &target);
    // Removes the temporary file unless it was committed.
    ~KvSaveTarget();
    KvSaveTarget(const KvSaveTarget &) = delete;
    KvSaveTarget &operator=(const KvSaveTarget &) = delete;

    // Creates the empty temporary file; the error text, empty on success.
    QString prepare();
    // Where to write: the temporary file.
    QString tempPath() const { return m_temp; }
    // Moves the temporary file over the target; the error text.
    QString commit();
    // Removes the temporary file.
    void discard();

    // Whether a KvFile of this process holds the path open.
    static bool isOpenInProgram(const QString &path);

private:
    QString m_target;
    QString m_temp;
    bool m_done = false;
};
