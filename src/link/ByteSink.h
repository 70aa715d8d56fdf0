#pragma once

#include "core/Catalogue.h"

#include <QByteArray>
#include <QList>

// Where a command's sends go: a connection to a printer, or memory for a dry run and for tests.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Takes the whole of bytes after those of earlier sends; false when it cannot.
    virtual bool send(const QByteArray& bytes) = 0;

    // Every send of a command, in order; false at the first that fails.
    bool sendAll(const Catalogue::Sends& sends)
    {
        for (const QByteArray& bytes : sends) {
            if (!send(bytes))
                return false;
        }
        return true;
    }
};

// Records each send as it came.
class MemorySink : public ByteSink {
public:
    bool send(const QByteArray& bytes) override
    {
        sends << bytes;
        return true;
    }
    QByteArray wire() const { return Catalogue::wire(sends); }

    Catalogue::Sends sends;
};
