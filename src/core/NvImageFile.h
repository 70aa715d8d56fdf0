#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// The NV bit image data file, read whole in one read into a buffer of exactly its length.
class NvImageFile {
public:
    enum class Status {
        Read,       // every byte is in the buffer
        CannotOpen, // missing, or not readable
        NotAFile,   // a folder, a FIFO, a device or a socket
        Empty,      // a length of 0
        TooLarge,   // no buffer of that length can be had
        ShortRead,  // fewer bytes came than the length promised, or the read failed
    };

    // Reads the file at path if it is a regular file. Opening never blocks: a FIFO in its
    // place is refused at once instead of holding the caller until a writer comes.
    static NvImageFile read(const QString& path);
    // Opens the device for reading if it is not open yet; the caller closes it.
    static NvImageFile readWhole(QIODevice& device);

    Status status() const { return m_status; }
    // The bytes read. Copies share them, so the connection that sends them keeps them valid
    // for as long as it still has them to write.
    QByteArray bytes() const { return m_status == Status::Read ? m_buffer : QByteArray(); }

private:
    explicit NvImageFile(Status status)
        : m_status(status)
    {}

    Status m_status;
    QByteArray m_buffer;
};
