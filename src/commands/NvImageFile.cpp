#include "NvImageFile.h"

#include <QIODevice>

#include <limits>
#include <new>

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
