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
    // No exception and no crash for a length that memory cannot hold: just a failed download.
    file.m_buffer.reset(new (std::nothrow) char[size_t(size)]);
    if (!file.m_buffer)
        return NvImageFile(Status::TooLarge);
    if (device.read(file.m_buffer.get(), size) != size)
        return NvImageFile(Status::ShortRead);
    file.m_size = size;
    return file;
}

QByteArray NvImageFile::bytes() const
{
    if (m_status != Status::Read)
        return {};
    return QByteArray::fromRawData(m_buffer.get(), qsizetype(m_size));
}
