#include "NvImageFile.h"

#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <limits>
#include <new>

NvImageFile NvImageFile::read(const QString& path)
{
#ifdef Q_OS_WIN
    // Windows has no FIFO that open() could wait on; a folder or a device is still refused.
    if (!QFileInfo(path).isFile())
        return NvImageFile(QFileInfo::exists(path) ? Status::NotAFile : Status::CannotOpen);
    QFile file(path);
    return readWhole(file);
#else
    // O_NONBLOCK keeps open() of a FIFO from waiting for a writer; fstat() then looks at what
    // was opened, so nothing can be swapped in between the look and the read.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return NvImageFile(Status::CannotOpen);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return NvImageFile(Status::NotAFile);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle)) {
        ::close(fd);
        return NvImageFile(Status::CannotOpen);
    }
    return readWhole(file);
#endif
}

NvImageFile NvImageFile::readWhole(QIODevice& device)
{
    if (!device.isOpen() && !device.open(QIODevice::ReadOnly))
        return NvImageFile(Status::CannotOpen);
    if (!device.isReadable())
        return NvImageFile(Status::CannotOpen);
    const qint64 size = device.size();
    if (size <= 0)
        return NvImageFile(Status::Empty);
    // The buffer is handed on as a QByteArray, so its length must fit one.
    if (quint64(size) > quint64(std::numeric_limits<qsizetype>::max()) ||
        quint64(size) > std::numeric_limits<size_t>::max())
        return NvImageFile(Status::TooLarge);

    NvImageFile file(Status::Read);
    // No crash for a length that memory cannot hold: just a failed download.
    try {
        file.m_buffer = QByteArray(qsizetype(size), Qt::Uninitialized);
    } catch (const std::bad_alloc&) {
        return NvImageFile(Status::TooLarge);
    }
    if (device.read(file.m_buffer.data(), size) != size)
        return NvImageFile(Status::ShortRead);
    return file;
}
