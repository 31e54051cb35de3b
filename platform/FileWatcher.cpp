#include "platform/FileWatcher.h"

#include <QFileInfo>
#include <sys/stat.h>

FileWatcher::FileWatcher(QObject* parent, int quietMilliseconds)
    : QObject(parent), m_quietMs(quietMilliseconds) {
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &FileWatcher::Look);
    // A rename over a file replaces it: the folder changes, and the watch on
    // the old file is gone.
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &FileWatcher::LookInFolder);
    connect(&m_folders, &QFileSystemWatcher::directoryChanged, this, [this](const QString& folder) {
        QTimer*& quiet = m_folderQuiet[folder];
        if (!quiet) {
            quiet = new QTimer(this);
            quiet->setSingleShot(true);
            connect(quiet, &QTimer::timeout, this, [this, folder] { emit folderChanged(folder); });
        }
        quiet->start(m_quietMs);
    });
}

void FileWatcher::WatchFolders(const QStringList& folders) {
    QSet<QString> wanted;
    for (const QString& f : folders)
        if (QFileInfo(f).isDir())
            wanted.insert(QFileInfo(f).absoluteFilePath());
    const QStringList now = m_folders.directories();
    if (wanted == QSet<QString>(now.begin(), now.end()))
        return;
    if (!now.isEmpty())
        m_folders.removePaths(now);
    if (!wanted.isEmpty())
        m_folders.addPaths(wanted.values());
}

FileWatcher::Stamp FileWatcher::StampOf(const QString& file) {
    struct stat st {};
    if (stat(QFile::encodeName(file).constData(), &st) != 0)
        return {};
    return {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            qint64(st.st_ino)};
}

void FileWatcher::Watch(const QStringList& files) {
    const QSet<QString> wanted(files.begin(), files.end());
    if (wanted == m_files)
        return;
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    for (QTimer* t : std::as_const(m_quiet))
        t->deleteLater();
    m_quiet.clear();
    m_stamps.clear();
    m_files = wanted;
    QSet<QString> folders;
    for (const QString& f : std::as_const(m_files)) {
        m_stamps[f] = StampOf(f);
        if (QFileInfo::exists(f))
            m_watcher.addPath(f);
        folders.insert(QFileInfo(f).absolutePath());
    }
    for (const QString& folder : std::as_const(folders))
        m_watcher.addPath(folder);
}

void FileWatcher::LookInFolder(const QString& folder) {
    for (const QString& f : std::as_const(m_files))
        if (QFileInfo(f).absolutePath() == folder)
            Look(f);
}

void FileWatcher::Look(const QString& file) {
    if (!m_files.contains(file))
        return;
    // The watch on a file replaced by a rename is lost: take the new one.
    if (QFileInfo::exists(file) && !m_watcher.files().contains(file))
        m_watcher.addPath(file);
    const Stamp now = StampOf(file);
    if (now == m_stamps.value(file) || now.size < 0)
        return; // the same file, or none for now (between a delete and a rename)
    m_stamps[file] = now;
    QTimer*& quiet = m_quiet[file];
    if (!quiet) {
        quiet = new QTimer(this);
        quiet->setSingleShot(true);
        connect(quiet, &QTimer::timeout, this, [this, file] { emit changed(file); });
    }
    quiet->start(m_quietMs);
}
