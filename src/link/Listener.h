#pragma once

#include "NativeSocket.h"
#include "core/Decoder.h"
#include "core/PrinterStatus.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

class QSocketNotifier;

// A printer on the desk: takes TCP connections as a network printer does, reads each to its end
// at full speed, decodes what arrives, and answers the status and identity requests a till
// program sends, as a printer in the state it was told to be in.
class Listener : public QObject {
    Q_OBJECT
public:
    // How the printer fails, as it is told to.
    struct Faults {
        enum class State {
            None,
            PaperOut,      // from the start: offline, out of paper
            CoverOpen,     // from the start: offline, cover open
            Offline,       // from the start
            NoReply,       // prints, but answers nothing at all
            PaperOutAfter, // runs out of paper after paperOutAfter bytes of print data
        } state = State::None;
        qint64 paperOutAfter = 0;
        qint64 dropAfter = 0; // each connection is reset after this many bytes; 0: never
        qint64 slow = 0;      // bytes a second read from each connection; 0: as fast as it comes
    };
    // Adds one fault by its word ("cover-open", "drop-after=512"); false, and why, when the word
    // is none of them or says again what an earlier one said.
    static bool addFault(Faults& faults, const QString& word, QString* why);
    static const char* faultWords(); // for the help

    struct Options {
        QString bind = QStringLiteral("127.0.0.1"); // IPv4 or IPv6, in numbers
        std::uint16_t port = 9100;
        int count = 0;   // stop after this many connections; 0: go on
        QString saveDir; // each connection's raw bytes go to a file there; empty: none
        // Files named after the captures are written there (the receipts drawn): captures are
        // numbered on past them too.
        QString alsoNumbered;
        Decoding::Keep keep = Decoding::Keep::Head; // Data for a renderer
        // The answers to DLE EOT 1 to 4 before any fault: online, cover closed, paper present.
        PrinterStatus::Status status;
        Faults faults;
        QByteArray version; // told to GS I 65
        int codePage = 1252;
    };

    // How a connection ended: its peer closed it, it was reset after --fault drop-after, or
    // stop() ended it.
    enum class End { Closed, Reset, Stopped };

    explicit Listener(Options options, QObject* parent = nullptr);
    ~Listener() override;

    // Listens; false with a reason when the address or port cannot be had.
    bool start(QString* error);
    std::uint16_t port() const { return m_port; }
    // Ends every connection with all it has sent so far read, decoded and saved, and takes no
    // more: what a signal does.
    void stop();

    // A file of the folder for a connection's bytes: connection-0001.bin and so on.
    static QString saveName(int number);
    // The number after every connection-NNNN file of the folder, of an earlier run too: 1 for
    // none.
    static int nextFileNumber(const QString& folder);
    // The identity the printer tells: maker, model, the version, a serial made from the port.
    static PrinterStatus::Identity identity(const QByteArray& version, std::uint16_t port);

signals:
    // Per connection, in this order: opened, its items, perhaps notPrinted, closed.
    void opened(int number, const QString& peer, const QDateTime& at, const QString& savedAs);
    void decoded(int number, const Decoding::Item& item);
    // From this offset of the connection on, its print data is taken but not printed, and why.
    void notPrinted(int number, qint64 offset, const QString& why);
    void closed(int number, qint64 bytes, Listener::End end);
    // The last of count connections has closed.
    void done();
    // Something went wrong that does not stop listening: a capture cut short, a connection
    // refused, replies nobody reads.
    void trouble(const QString& message);

private:
    struct Session;
    void accept();
    void refuseWaiting();
    bool openCapture(Session* session);
    void read(Session* session, bool all);
    void take(Session* session, QByteArrayView bytes);
    void answer(Session* session, const Decoding::Item& item);
    void print(Session* session, const Decoding::Item& item);
    void reply(Session* session, const QByteArray& bytes);
    void flush(Session* session);
    qint64 unsent(Session* session);
    void runOutOfPaper();
    void refill();
    void end(Session* session, End how);

    Options m_options;
    PrinterStatus::Identity m_identity;
    NativeSocket::Handle m_listening = NativeSocket::kInvalid;
    NativeSocket::Handle m_spare = NativeSocket::kInvalid;
    QSocketNotifier* m_acceptable = nullptr;
    QTimer m_retryAccept; // out of descriptors with no spare: accepting waits a little
    QTimer m_tick;        // a slow printer's reading
    std::uint16_t m_port = 0;
    std::vector<std::unique_ptr<Session>> m_sessions;
    int m_accepted = 0;
    int m_closed = 0;
    int m_nextFile = 1;
    // Out of descriptors: told once, then how many were refused until one could be taken.
    bool m_starved = false;
    int m_refused = 0;
    bool m_acceptFailed = false; // for another reason, told once
    // The printer, the same for every connection.
    PrinterStatus::Status m_status;
    bool m_printing = true;
    QString m_whyNot;     // why it does not print
    qint64 m_printed = 0; // bytes of print data printed
    QByteArray m_chunk;   // what each read fills
};
