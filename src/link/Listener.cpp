#include "Listener.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <algorithm>

namespace {

// Read a bounded piece at a time into one buffer: a fast sender costs no fresh memory per read.
constexpr qint64 kChunk = 1024 * 1024;
constexpr qsizetype kDecodeSlice = 16 * 1024;
// Reads per wake-up: one fast sender cannot keep the others waiting.
constexpr int kReadsPerWake = 16;
// What stop() reads of each connection at most: all that came before, even from a sender that
// goes on sending.
constexpr int kReadsAtStop = 1024;
constexpr int kAcceptsPerWake = 64;
// Replies the client has not taken: past this, requests go unanswered until it reads, as a
// printer whose transmit buffer is full.
constexpr qint64 kMostUnsent = 4096;
// A slow printer reads ten times a second.
constexpr int kTicksPerSecond = 10;
// Out of descriptors with none spare, accepting is tried again after this long, or at once
// when a connection ends.
constexpr int kRetryAcceptMs = 100;
// Names taken by something else, tried on past before the capture is given up.
constexpr int kNameTries = 1000;
// Captures numbered higher are another program's business: numbering does not follow them.
constexpr int kMostFiles = 100000000;
constexpr qint64 kMostFaultBytes = qint64(1) << 40;

// A notifier may be the one whose signal got us here: it is switched off now and freed later.
void release(QSocketNotifier*& notifier)
{
    if (QSocketNotifier* going = std::exchange(notifier, nullptr)) {
        going->setEnabled(false);
        going->deleteLater();
    }
}

struct FaultRow {
    const char* word;
    bool number; // takes =N
    Listener::Faults::State state;
};
using State = Listener::Faults::State;
constexpr FaultRow kFaults[] = {
    {"paper-out", false, State::PaperOut},
    {"cover-open", false, State::CoverOpen},
    {"offline", false, State::Offline},
    {"no-reply", false, State::NoReply},
    {"paper-out-after", true, State::PaperOutAfter},
    {"drop-after", true, State::None},
    {"slow", true, State::None},
};

} // namespace

struct Listener::Session {
    Session(int n, NativeSocket::Handle handle, int codePage, Decoding::Keep keep)
        : number(n)
        , fd(handle)
        , decoder(codePage, keep)
    {}
    int number;
    NativeSocket::Handle fd;
    Decoding::Decoder decoder;
    QSocketNotifier* readable = nullptr;
    QSocketNotifier* writable = nullptr;
    bool over = false;
    qint64 bytes = 0; // read
    std::unique_ptr<QFile> save;
    qint64 kept = 0; // saved
    bool saveFailed = false;
    QByteArray outbox; // replies the system has not taken yet
    qint64 written = 0;
    qint64 acknowledged = 0;
    bool repliesDropped = false;
    std::uint8_t tell = 0; // GS a: which changes are told
    bool notPrintedTold = false;
    qint64 budget = 0; // a slow printer's bytes to read before the next tick
    qint64 credit = 0;
};

const char* Listener::faultWords()
{
    return "paper-out|cover-open|offline|no-reply|paper-out-after=N|drop-after=N|slow=N";
}

bool Listener::addFault(Faults& faults, const QString& word, QString* why)
{
    const qsizetype equals = word.indexOf(u'=');
    const QString name = word.left(equals);
    const auto row = std::find_if(std::begin(kFaults), std::end(kFaults), [&](const FaultRow& r) {
        return name == QLatin1String(r.word) && (equals >= 0) == r.number;
    });
    if (row == std::end(kFaults)) {
        *why = QStringLiteral("\"%1\" is none of %2").arg(word, QLatin1String(faultWords()));
        return false;
    }
    qint64 value = 0;
    if (row->number) {
        const QString digits = word.mid(equals + 1);
        const bool allDigits = !digits.isEmpty() && digits.size() <= 13 &&
                               std::all_of(digits.begin(), digits.end(),
                                           [](QChar c) { return c >= u'0' && c <= u'9'; });
        value = allDigits ? digits.toLongLong() : -1;
        const qint64 lowest = row->state == State::PaperOutAfter ? 0 : 1;
        if (value < lowest || value > kMostFaultBytes) {
            *why = QStringLiteral("\"%1\": N is a number of bytes from %2 to %3")
                       .arg(word)
                       .arg(lowest)
                       .arg(kMostFaultBytes);
            return false;
        }
    }
    const bool drop = name == u"drop-after";
    qint64* bytes = drop ? &faults.dropAfter : name == u"slow" ? &faults.slow : nullptr;
    if (bytes ? *bytes != 0 : faults.state != State::None) {
        *why = bytes ? QStringLiteral("\"%1\": %2 is given twice").arg(word, name)
                     : QStringLiteral("\"%1\": the printer's state is given twice").arg(word);
        return false;
    }
    if (bytes) {
        *bytes = value;
    } else {
        faults.state = row->state;
        faults.paperOutAfter = value;
    }
    return true;
}

Listener::Listener(Options options, QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_identity(identity(m_options.version, m_options.port))
    , m_status(m_options.status)
{
    const auto simulated = [this](const char* name, const char* why) {
        m_status = PrinterStatus::simulation(QString::fromLatin1(name))->status;
        m_printing = false;
        m_whyNot = QLatin1String(why);
    };
    switch (m_options.faults.state) {
    case State::PaperOut:
        simulated("paper-out", "out of paper");
        break;
    case State::CoverOpen:
        simulated("cover-open", "cover open");
        break;
    case State::Offline:
        simulated("offline", "offline");
        break;
    case State::PaperOutAfter:
        if (m_options.faults.paperOutAfter == 0)
            simulated("paper-out", "out of paper");
        break;
    case State::None:
    case State::NoReply:
        break;
    }
    m_retryAccept.setSingleShot(true);
    m_retryAccept.setInterval(kRetryAcceptMs);
    connect(&m_retryAccept, &QTimer::timeout, this, [this] {
        if (m_acceptable) {
            m_acceptable->setEnabled(true);
            accept();
        }
    });
    m_tick.setInterval(1000 / kTicksPerSecond);
    connect(&m_tick, &QTimer::timeout, this, &Listener::refill);
}

Listener::~Listener()
{
    // Quietly: what stop() tells has been told, or nobody is left to hear it.
    for (const auto& session : m_sessions) {
        release(session->readable);
        release(session->writable);
        NativeSocket::close(session->fd);
    }
    release(m_acceptable);
    NativeSocket::close(m_listening);
    NativeSocket::close(m_spare);
}

PrinterStatus::Identity Listener::identity(const QByteArray& version, std::uint16_t port)
{
    PrinterStatus::Identity identity;
    identity.firmware = version;
    identity.maker = "Corvane";
    identity.model = "desk printer";
    identity.serial = QStringLiteral("CVD%1").arg(port, 5, 10, QChar(u'0')).toLatin1();
    return identity;
}

bool Listener::start(QString* error)
{
    for (const QString& folder : {m_options.saveDir, m_options.alsoNumbered}) {
        if (folder.isEmpty())
            continue;
        if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable()) {
            *error = QStringLiteral("cannot write to the folder \"%1\"").arg(folder);
            return false;
        }
        m_nextFile = std::max(m_nextFile, nextFileNumber(folder));
    }
    const qint64 slow = m_options.faults.slow;
    QString why;
    m_listening =
        NativeSocket::listenOn(m_options.bind, m_options.port,
                               slow > 0 ? int(std::clamp<qint64>(slow, 2048, 1 << 20)) : 0, &why);
    if (m_listening == NativeSocket::kInvalid) {
        *error = QStringLiteral("cannot listen on %1 port %2: %3")
                     .arg(m_options.bind)
                     .arg(m_options.port)
                     .arg(why);
        return false;
    }
    m_port = NativeSocket::localPort(m_listening);
    if (m_options.port == 0)
        m_identity = identity(m_options.version, m_port);
    m_spare = NativeSocket::reserveSpare();
    m_acceptable = new QSocketNotifier(m_listening, QSocketNotifier::Read, this);
    connect(m_acceptable, &QSocketNotifier::activated, this, &Listener::accept);
    if (slow > 0)
        m_tick.start();
    return true;
}

QString Listener::saveName(int number)
{
    return QStringLiteral("connection-%1.bin").arg(number, 4, 10, QChar(u'0'));
}

int Listener::nextFileNumber(const QString& folder)
{
    // Captures, the partial ones, and whatever is named after them.
    static const QRegularExpression taken(QStringLiteral("^connection-(\\d+)[.-]"));
    int next = 1;
    for (const QString& name : QDir(folder).entryList(QDir::AllEntries | QDir::System |
                                                      QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = taken.match(name);
        const int number = match.hasMatch() ? match.captured(1).toInt() : 0;
        if (number > 0 && number < kMostFiles)
            next = std::max(next, number + 1);
    }
    return next;
}

void Listener::accept()
{
    for (int i = 0; i < kAcceptsPerWake && m_listening != NativeSocket::kInvalid; ++i) {
        NativeSocket::Handle fd = NativeSocket::kInvalid;
        QString peer, why;
        switch (NativeSocket::accept(m_listening, &fd, &peer, &why)) {
        case NativeSocket::Accept::None:
            return;
        case NativeSocket::Accept::OutOfDescriptors:
            refuseWaiting();
            return;
        case NativeSocket::Accept::Failed:
            // Whatever it is, the connection cannot be had now: tried again in a while.
            if (!std::exchange(m_acceptFailed, true))
                emit trouble(QStringLiteral("taking a connection failed: %1").arg(why));
            m_acceptable->setEnabled(false);
            m_retryAccept.start();
            return;
        case NativeSocket::Accept::Taken:
            break;
        }
        auto session =
            std::make_unique<Session>(m_accepted + 1, fd, m_options.codePage, m_options.keep);
        if (!openCapture(session.get())) {
            NativeSocket::close(fd, true);
            continue;
        }
        m_acceptFailed = false;
        if (std::exchange(m_starved, false))
            emit trouble(QStringLiteral("file descriptors are free again: connections are taken; "
                                        "%1 were refused")
                             .arg(std::exchange(m_refused, 0)));
        Session* s = session.get();
        m_sessions.push_back(std::move(session));
        ++m_accepted;
        s->readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(s->readable, &QSocketNotifier::activated, s->readable,
                [this, s] { read(s, false); });
        if (m_options.faults.slow > 0)
            s->readable->setEnabled(false); // until the tick gives it bytes to read
        if (m_options.count > 0 && m_accepted == m_options.count) {
            release(m_acceptable); // nobody else is taken
            NativeSocket::close(std::exchange(m_listening, NativeSocket::kInvalid));
        }
        emit opened(s->number, peer, QDateTime::currentDateTime(),
                    s->save ? s->save->fileName() : QString());
        read(s, false); // bytes that came with the connection
    }
}

void Listener::refuseWaiting()
{
    if (!m_starved) {
        m_starved = true;
        const qint64 limit = NativeSocket::descriptorLimit();
        emit trouble(QStringLiteral("out of file descriptors%1: connections are refused until "
                                    "some are free")
                         .arg(limit > 0 ? QStringLiteral(" (this process may have %1)").arg(limit)
                                        : QString()));
    }
    const int refused = NativeSocket::refuseWaiting(m_listening, &m_spare);
    m_refused += refused;
    // Nothing could be refused: rather than spin on a connection that cannot be taken, wait for
    // a descriptor to be freed.
    if (refused == 0 && m_acceptable) {
        m_acceptable->setEnabled(false);
        m_retryAccept.start();
    }
}

bool Listener::openCapture(Session* session)
{
    if (m_options.saveDir.isEmpty())
        return true;
    const QDir folder(m_options.saveDir);
    for (int tries = 0; tries < kNameTries; ++tries) {
        auto file = std::make_unique<QFile>(folder.filePath(saveName(m_nextFile++)));
        // A new file or none: never through a link, never over an earlier capture.
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            session->save = std::move(file);
            return true;
        }
        const QFileInfo there(file->fileName());
        if (there.exists() || there.isSymLink())
            continue;
        if (file->error() == QFileDevice::ResourceError) {
            // The socket takes a descriptor, its capture another.
            if (!m_starved)
                refuseWaiting();
            ++m_refused;
        } else {
            emit trouble(QStringLiteral("a connection is refused: its capture \"%1\" cannot be "
                                        "made: %2")
                             .arg(file->fileName(), file->errorString()));
        }
        return false;
    }
    emit trouble(QStringLiteral("a connection is refused: %1 names in \"%2\" are taken")
                     .arg(kNameTries)
                     .arg(m_options.saveDir));
    return false;
}

void Listener::read(Session* session, bool all)
{
    const Faults& faults = m_options.faults;
    m_chunk.resize(kChunk);
    for (int reads = 0; reads < (all ? kReadsAtStop : kReadsPerWake); ++reads) {
        qint64 room = kChunk;
        if (faults.dropAfter > 0)
            room = std::min(room, faults.dropAfter - session->bytes);
        if (faults.slow > 0 && !all)
            room = std::min(room, session->budget);
        if (room <= 0) {
            if (faults.dropAfter > 0 && session->bytes >= faults.dropAfter)
                end(session, End::Reset);
            else
                session->readable->setEnabled(false); // the tick gives it more
            return;
        }
        const qint64 n = NativeSocket::receive(session->fd, m_chunk.data(), room);
        if (n == -1)
            return; // nothing more now
        if (n <= 0) {
            end(session, End::Closed);
            return;
        }
        session->budget -= faults.slow > 0 && !all ? n : 0;
        take(session, QByteArrayView(m_chunk.constData(), n));
    }
}

void Listener::take(Session* session, QByteArrayView bytes)
{
    session->bytes += bytes.size();
    if (session->save && !session->saveFailed) {
        qint64 at = 0;
        while (at < bytes.size()) {
            const qint64 written = session->save->write(bytes.data() + at, bytes.size() - at);
            if (written <= 0)
                break;
            at += written;
        }
        session->kept += at;
        if (at < bytes.size()) {
            session->saveFailed = true;
            emit trouble(QStringLiteral("connection %1: writing \"%2\" failed: %3; the rest of "
                                        "its bytes is not saved")
                             .arg(session->number)
                             .arg(session->save->fileName(), session->save->errorString()));
        }
    }
    // Decoded a slice at a time: a read full of three-byte requests is a third of a million
    // items, which are not all held at once.
    for (qsizetype at = 0; at < bytes.size(); at += kDecodeSlice) {
        for (const Decoding::Item& item :
             session->decoder.feed(bytes.sliced(at, std::min(kDecodeSlice, bytes.size() - at)))) {
            if (item.kind != Decoding::Kind::Command || !item.row)
                print(session, item);
            else
                answer(session, item);
            emit decoded(session->number, item);
        }
    }
}

void Listener::answer(Session* session, const Decoding::Item& item)
{
    using EscPos::Op;
    const int n = item.params.value(0);
    switch (item.op) {
    case Op::RealTimeStatus:
        // DLE EOT n is answered at once, as a printer does whatever else it is busy with.
        if (n >= 1 && n <= PrinterStatus::kRequests)
            reply(session, QByteArray(1, char(m_status.bytes[std::size_t(n - 1)])));
        return;
    case Op::RealTimeRequest:
    case Op::RealTimePulse:
    case Op::RealTimePowerOff:
    case Op::RealTimeClearBuffers:
        return;
    case Op::TransmitStatus:
        // Taken in turn with the print data, so a printer that stopped never gets to it: only the
        // real-time requests tell why.
        if (!m_printing)
            return;
        if (const auto byte = PrinterStatus::transmitted(m_status, n))
            reply(session, QByteArray(1, char(*byte)));
        return;
    case Op::TransmitId:
        if (const auto answer = PrinterStatus::identified(m_identity, n))
            reply(session, *answer);
        return;
    case Op::AutomaticStatusBack: {
        session->tell = std::uint8_t(n);
        if (n != 0) {
            const auto bytes = PrinterStatus::automatic(m_status);
            reply(session, QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        }
        return;
    }
    case Op::ResponseRequest:
        // Told once everything before it is printed, which a printer that stopped never does.
        if (item.arg("fn") == PrinterStatus::kProcessIdFunction && item.dataLength == 4 &&
            item.head.size() == item.length && m_printing)
            reply(session, PrinterStatus::processed(QByteArrayView(item.head).last(4)));
        return;
    default:
        print(session, item);
        return;
    }
}

void Listener::print(Session* session, const Decoding::Item& item)
{
    if (!m_printing) {
        if (!std::exchange(session->notPrintedTold, true))
            emit notPrinted(session->number, item.offset, m_whyNot);
        return;
    }
    m_printed += item.length;
    if (m_options.faults.state == State::PaperOutAfter &&
        m_printed >= m_options.faults.paperOutAfter)
        runOutOfPaper();
}

void Listener::runOutOfPaper()
{
    m_status = PrinterStatus::simulation(u"paper-out")->status;
    m_printing = false;
    m_whyNot = QStringLiteral("out of paper");
    const auto bytes = PrinterStatus::automatic(m_status);
    for (const auto& session : m_sessions) {
        if (session->tell & (PrinterStatus::kTellOnline | PrinterStatus::kTellPaper))
            reply(session.get(),
                  QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
}

qint64 Listener::unsent(Session* session)
{
    auto count = [session] {
        return session->outbox.size() + session->written - session->acknowledged;
    };
    if (count() > kMostUnsent / 2)
        session->acknowledged =
            NativeSocket::acknowledged(session->fd, session->written, false).bytes;
    return count();
}

void Listener::reply(Session* session, const QByteArray& bytes)
{
    if (m_options.faults.state == State::NoReply || session->over)
        return;
    if (unsent(session) + bytes.size() > kMostUnsent) {
        if (!std::exchange(session->repliesDropped, true))
            emit trouble(QStringLiteral("connection %1: its peer reads none of the replies: "
                                        "with %2 bytes of them waiting, requests go unanswered "
                                        "until it reads")
                             .arg(session->number)
                             .arg(unsent(session)));
        return;
    }
    session->outbox += bytes;
    flush(session);
}

void Listener::flush(Session* session)
{
    while (!session->outbox.isEmpty()) {
        const qint64 sent =
            NativeSocket::send(session->fd, session->outbox.constData(), session->outbox.size());
        if (sent < 0)
            session->outbox.clear(); // the connection failed; reading tells its end
        if (sent <= 0)
            break;
        session->written += sent;
        session->outbox.remove(0, sent);
    }
    if (session->outbox.isEmpty()) {
        if (session->writable)
            session->writable->setEnabled(false);
        return;
    }
    if (!session->writable) {
        session->writable = new QSocketNotifier(session->fd, QSocketNotifier::Write, this);
        connect(session->writable, &QSocketNotifier::activated, session->writable,
                [this, session] { flush(session); });
    }
    session->writable->setEnabled(true);
}

void Listener::refill()
{
    const qint64 rate = m_options.faults.slow;
    for (const auto& session : m_sessions) {
        session->credit += rate;
        session->budget = std::min(session->budget + session->credit / kTicksPerSecond,
                                   std::max<qint64>(rate, 1));
        session->credit %= kTicksPerSecond;
        if (session->budget > 0)
            session->readable->setEnabled(true);
    }
}

void Listener::stop()
{
    release(m_acceptable);
    m_retryAccept.stop();
    NativeSocket::close(std::exchange(m_listening, NativeSocket::kInvalid));
    std::vector<Session*> open;
    for (const auto& session : m_sessions)
        open.push_back(session.get());
    for (Session* session : open) {
        read(session, true);
        if (!session->over)
            end(session, End::Stopped);
    }
}

void Listener::end(Session* session, End how)
{
    session->over = true;
    for (const Decoding::Item& item : session->decoder.finish())
        emit decoded(session->number, item);
    if (how != End::Reset)
        flush(session); // what the system takes now still goes out after the close
    release(session->readable);
    release(session->writable);
    NativeSocket::close(std::exchange(session->fd, NativeSocket::kInvalid), how == End::Reset);
    if (session->save) {
        session->save->close();
        if (session->saveFailed) {
            // Marked, so that nobody takes it for the whole of what came.
            const QString whole = session->save->fileName();
            const QString partial = whole + QStringLiteral(".partial");
            const bool marked = session->save->rename(partial);
            emit trouble(QStringLiteral("connection %1: its capture is cut short: %2 of its %3 "
                                        "bytes are kept, in \"%4\"%5")
                             .arg(session->number)
                             .arg(session->kept)
                             .arg(session->bytes)
                             .arg(marked ? partial : whole,
                                  marked ? QString()
                                         : QStringLiteral(" (it could not be renamed: %1)")
                                               .arg(session->save->errorString())));
        }
    }
    const int number = session->number;
    const qint64 bytes = session->bytes;
    const auto at = std::find_if(m_sessions.begin(), m_sessions.end(),
                                 [session](const auto& s) { return s.get() == session; });
    // Freed from the event loop: whatever called us may still hold it.
    std::unique_ptr<Session> ended = std::move(*at);
    m_sessions.erase(at);
    QMetaObject::invokeMethod(
        this, [going = std::shared_ptr<Session>(std::move(ended))] {}, Qt::QueuedConnection);
    ++m_closed;
    emit closed(number, bytes, how);
    // A descriptor is free again.
    if (m_acceptable && !m_acceptable->isEnabled()) {
        m_retryAccept.stop();
        m_acceptable->setEnabled(true);
    }
    if (m_options.count > 0 && m_closed == m_options.count)
        emit done();
}
