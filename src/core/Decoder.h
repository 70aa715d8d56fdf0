#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QList>
#include <QString>

// Reads what reaches a printer, command by command: the ESC/POS commands a receipt printer
// knows, the printer's own configuration frames (by the catalogue's names), and text in a code
// page. Pure: bytes in, items out.
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
};

// The longest run of text or unknown bytes in one item, and how many bytes of an item are kept.
inline constexpr qsizetype kLongestRun = 1024;
inline constexpr qsizetype kHeadBytes = 32;

// Fed the stream a piece at a time, it gives each item as soon as it is complete. The items do
// not depend on how the stream is cut into pieces, and memory stays bounded whatever the
// stream: image and graphics data are counted, not kept.
class Decoder {
public:
    explicit Decoder(int codePage);

    QList<Item> feed(QByteArrayView bytes);
    // The end of the stream: what is left, a command cut short as truncated.
    QList<Item> finish();

private:
    enum class Step { Consumed, NeedMore };
    void run(bool atEnd, QList<Item>& out);
    Step step(bool atEnd, QList<Item>& out);
    Step run(bool text, bool atEnd, QList<Item>& out);
    Step config(bool atEnd, QList<Item>& out);
    Step payload(bool atEnd, QList<Item>& out);
    void emitBytes(Item item, qsizetype length, QList<Item>& out);
    void startPayload(Item item, qsizetype header, qint64 payload, int images);

    int m_codePage;
    QByteArray m_buffer; // bytes not consumed yet; m_buffer[m_at] is at stream offset m_offset
    qsizetype m_at = 0;
    qint64 m_offset = 0;
    // An image or graphics command whose data is being counted.
    bool m_inPayload = false;
    Item m_current;
    qint64 m_payloadLeft = 0;
    int m_imagesLeft = 0; // FS q: images still to come after this one's data
};

QList<Item> decode(QByteArrayView bytes, int codePage);

// One line for people: offset, the bytes (long runs shortened), the meaning.
QString describe(const Item& item);
// offset, length, kind, name, hex (the kept bytes), params, meaning; text for text runs.
QJsonObject toJson(const Item& item);

} // namespace Decoding
