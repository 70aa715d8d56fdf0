#pragma once

#include <QByteArray>

class QIODevice;

// The NV bit image data file, read whole in one read into a buffer of exactly its length.
class NvImageFile {
public:
    enum class Status {
        Read,       // every byte is in the buffer
        CannotOpen, // missing, a folder, or not readable
        Empty,      // a length of 0
        TooLarge,   // no buffer of that length can be had
        ShortRead,  // fewer bytes came than the length promised, or the read failed
    };

    // Opens the device for reading if it is not open yet; the caller closes it.
    static NvImageFile readWhole(QIODevice& device);

    Status status() const { return m_status; }
    // The bytes read. The socket keeps its own reference to them, so they stay valid for as
    // long as it still has them to write, after this object is gone.
    QByteArray bytes() const { return m_status == Status::Read ? m_buffer : QByteArray(); }

private:
    explicit NvImageFile(Status status)
        : m_status(status)
    {}

    Status m_status;
    QByteArray m_buffer;
};
