#pragma once

#include "EscPos.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QList>
#include <QString>

// Reads what reaches a printer, command by command: the ESC/POS commands of EscPos's table, the
// printer's own configuration frames (by the catalogue's names), and text in a code page. Pure:
// bytes in, items out.
namespace Decoding {

enum class Kind {
    Command,  // an ESC/POS command, with its parameters
    Text,     // printable bytes, read in the code page
    Config,   // one of the printer's own configuration frames
    Unknown,  // bytes that mean nothing known; decoding goes on after them
    Truncated // a command cut off by the end of the stream
};
const char* kindName(Kind kind);

struct Item {
    qint64 offset = 0; // in the stream
    qint64 length = 0;
    Kind kind = Kind::Unknown;
    QString name;      // "ESC p", "GS V", "LF"; the catalogue's name for a configuration frame
    QList<int> params; // the command's parameter bytes, or the values of a frame
    QString meaning;   // in words; the text itself for a text run
    QByteArray head;   // the item's first bytes, all of them for a short item

    EscPos::Op op = EscPos::Op::None; // which command; None for text, frames and unknown bytes
    const EscPos::Row* row = nullptr; // its row in the table, which names its parameters
    // The bytes after its parameters: image bits, a code's payload, a text run's own bytes. A
    // command that gives its data's length tells that length here even when cut off.
    qint64 dataLength = 0;
    // With Keep::Data only: the data as it came (all that came, if cut off), and whether it is
    // the whole of it. Data longer than kKeptData is not kept at all.
    QByteArray data;
    bool dataKept = false;

    // The parameter by its name in the table ("n", "xL", "cn"); -1 where it has none.
    int arg(std::string_view name) const;
};

// The longest run of text or unknown bytes in one item, and how many bytes of an item are kept.
inline constexpr qsizetype kLongestRun = 1024;
inline constexpr qsizetype kHeadBytes = 32;
// The most data one item keeps with Keep::Data: a raster 576 dots wide and 200,000 dots long,
// or seven NV images of the largest size a printer takes.
inline constexpr qsizetype kKeptData = 16 << 20;
// How much of a code's payload or other data its meaning shows.
inline constexpr qsizetype kShownData = 128;

// Head: each item's first bytes only, in bounded memory whatever the stream (listen, decode).
// Data: also each item's data, up to kKeptData, for a renderer.
enum class Keep { Head, Data };

// Fed the stream a piece at a time, it gives each item as soon as it is complete. The items do
// not depend on how the stream is cut into pieces, and memory stays bounded whatever the
// stream: image and graphics data are counted, and kept only when asked for, up to a bound.
class Decoder {
public:
    explicit Decoder(int codePage, Keep keep = Keep::Head);

    QList<Item> feed(QByteArrayView bytes);
    // The end of the stream: what is left, a command cut short as truncated.
    QList<Item> finish();

private:
    enum class Step { Consumed, NeedMore };
    void run(bool atEnd, QList<Item>& out);
    Step step(bool atEnd, QList<Item>& out);
    Step run(bool text, bool atEnd, QList<Item>& out);
    Step command(bool atEnd, QList<Item>& out);
    Step config(bool atEnd, QList<Item>& out);
    Step data(bool atEnd, QList<Item>& out);
    void emitBytes(Item item, qsizetype length, QList<Item>& out);
    void startData(Item item, qsizetype header, EscPos::Data rule, int skip, qint64 counted);
    void consume(qsizetype count, bool isData);
    Step done(bool cutOff, QList<Item>& out);

    int m_codePage;
    Keep m_keep;
    QByteArray m_buffer; // bytes not consumed yet; m_buffer[m_at] is at stream offset m_offset
    qsizetype m_at = 0;
    qint64 m_offset = 0;
    // A command whose data is being read.
    bool m_inData = false;
    Item m_current;
    EscPos::Data m_rule;
    int m_skip = 0;
    qint64 m_declared = -1; // its data's length where the command gives it
    qint64 m_left = 0;      // data bytes still to come, or of the block being read
    qint64 m_blocksLeft = 0;
    qint64 m_most = 0; // a NUL-terminated run's longest
    int m_previous = 0;
    qint64 m_taken = 0;
    QByteArray m_shown; // the data's first kShownData bytes, for its meaning
    bool m_keeping = false;
};

QList<Item> decode(QByteArrayView bytes, int codePage, Keep keep = Keep::Head);

// One line for people: offset, the bytes (long runs shortened), the meaning. No control
// character from the wire reaches it: each is shown as \xHH or \uHHHH.
QString describe(const Item& item);
// offset, length, kind, name, hex (the kept bytes), params, meaning; text for text runs; for a
// command of the table also op (its stable token), args (its parameters by name) and, where it
// has data, dataLength.
QJsonObject toJson(const Item& item);

} // namespace Decoding
