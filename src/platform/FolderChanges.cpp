#include "platform/FolderChanges.h"

#include <QFile>

#include <cerrno>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

bool identity(const QString &dir, quint64 *dev, quint64 *ino)
{
    struct stat st {};
    if (::stat(QFile::encodeName(dir).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    *dev = quint64(st.st_dev);
    *ino = quint64(st.st_ino);
    return true;
}

} // namespace

FolderChanges::~FolderChanges() { stop(); }

void FolderChanges::stop()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_dir.clear();
    m_names.clear();
    m_known = false;
}

bool FolderChanges::start(const QString &dir)
{
    stop();
    quint64 dev = 0, ino = 0;
    if (!identity(dir, &dev, &ino))
        return false;
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return false;
    const uint32_t mask = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO
                          | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    quint64 watchedDev = 0, watchedIno = 0;
    // The folder watched must be the one named (not one that replaced it
    // between the two looks).
    if (::inotify_add_watch(m_fd, QFile::encodeName(dir).constData(), mask) < 0
        || !identity(dir, &watchedDev, &watchedIno) || watchedDev != dev || watchedIno != ino) {
        stop();
        return false;
    }
    m_dir = dir;
    m_dev = dev;
    m_ino = ino;
    return true;
}

bool FolderChanges::drain()
{
    bool lost = false;
    alignas(struct inotify_event) char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return !lost; // nothing more queued (EAGAIN)
        for (ssize_t at = 0; at + ssize_t(sizeof(struct inotify_event)) <= n;) {
            const auto *e = reinterpret_cast<const struct inotify_event *>(buffer + at);
            if (e->mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT))
                lost = true;
            else if (e->len > 0)
                m_names.insert(QFile::decodeName(e->name));
            at += ssize_t(sizeof(struct inotify_event)) + e->len;
        }
    }
}

bool FolderChanges::changes(const QString &dir, QSet<QString> *names)
{
    quint64 dev = 0, ino = 0;
    if (m_fd < 0 || dir != m_dir || !identity(dir, &dev, &ino) || dev != m_dev || ino != m_ino) {
        start(dir);
        return false;
    }
    if (!drain())
        m_known = false;
    if (!m_known)
        return false;
    names->unite(m_names);
    return true;
}

void FolderChanges::settle()
{
    if (m_fd < 0)
        return;
    m_known = drain();
    m_names.clear();
}

} // namespace Platform
