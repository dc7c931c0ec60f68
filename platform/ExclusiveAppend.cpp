#include "platform/ExclusiveAppend.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fail(QString *error, const char *what)
{
    if (error)
        *error = QString::fromLatin1(what) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool writeAll(int fd, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

}  // namespace

bool appendExclusively(const QString &path, QByteArrayView bytes, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0)
        return fail(error, "open");
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    // A pipe or a device would block the agent or never hold the line.
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        errno = EINVAL;
        return fail(error, "not a regular file");
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(error, "lock");
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0)
        return fail(error, "seek");
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0) {
        const bool failed = fail(error, "write");
        // Take back what part of the bytes did land.
        [[maybe_unused]] const int truncated = ::ftruncate(fd, end);
        return failed;
    }
    return true;
}

#else

#include <QFile>

bool appendExclusively(const QString &path, QByteArrayView bytes, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const qint64 end = file.size();
    if (file.write(bytes.data(), bytes.size()) != bytes.size() || !file.flush()) {
        if (error)
            *error = file.errorString();
        file.resize(end);
        return false;
    }
    return true;
}

#endif
