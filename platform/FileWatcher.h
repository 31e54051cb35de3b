#pragma once
// Watches files for new contents, however they are saved: written in place,
// or written under another name and renamed over the old one (as most
// editors save). changed() comes once a file has been quiet for a moment, so
// a save in several writes is one change.
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

class FileWatcher : public QObject {
    Q_OBJECT

  public:
    explicit FileWatcher(QObject* parent = nullptr, int quietMilliseconds = 150);
    // Watches exactly these files from now on (absolute paths).
    void Watch(const QStringList& files);
    QStringList watched() const { return m_files.values(); }
    // Watches these folders for files coming, going or being replaced in
    // them (absolute paths; those that do not exist are left out).
    void WatchFolders(const QStringList& folders);
    QStringList watchedFolders() const { return m_folders.directories(); }

  signals:
    void changed(const QString& file);
    // Once a watched folder has been quiet for a moment after a change.
    void folderChanged(const QString& folder);

  private:
    // What tells one version of a file from another.
    struct Stamp {
        qint64 size = -1, modified = 0, inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp StampOf(const QString& file);
    void Look(const QString& file);
    void LookInFolder(const QString& folder);

    QFileSystemWatcher m_watcher;
    QFileSystemWatcher m_folders;
    QHash<QString, QTimer*> m_folderQuiet;
    QSet<QString> m_files;
    QHash<QString, Stamp> m_stamps;
    QHash<QString, QTimer*> m_quiet;
    int m_quietMs;
};
