#include "Decoder.h"

#include "AnsiCodePage.h"
#include "Catalogue.h"
#include "Frames.h"

#include <QJsonArray>
#include <QStringList>

#include <array>

namespace Decoding {

namespace {

using Frames::DLE;
using Frames::ESC;
using Frames::FS;
using Frames::GS;
constexpr std::uint8_t HT = 0x09, LF = 0x0A, FF = 0x0C, CR = 0x0D, US = 0x1F, DEL = 0x7F;

bool isText(std::uint8_t b)
{
    return b >= 0x20 && b != DEL;
}

bool isOneByteCommand(std::uint8_t b)
{
    return b == LF || b == CR || b == HT || b == FF;
}

// A control byte that starts nothing we know: such bytes are shown together, as one run.
bool isLoneUnknown(std::uint8_t b)
{
    return !isText(b) && !isOneByteCommand(b) && b != ESC && b != GS && b != FS && b != DLE &&
           b != US;
}

QString onOff(int n)
{
    return (n & 1) ? QStringLiteral("on") : QStringLiteral("off");
}

QString ofOne(const char* text, int n)
{
    return QString::fromLatin1(text).arg(n);
}

// ----- the commands of a fixed length -----

struct Fixed {
    std::uint8_t intro;
    std::uint8_t code;
    int params;
    const char* name;
    QString (*meaning)(const QList<int>& p);
};

const std::array<Fixed, 19> kFixed = {{
    {ESC, '@', 0, "ESC @",
     [](const QList<int>&) { return QStringLiteral("initialize the printer"); }},
    {ESC, 'a', 1, "ESC a",
     [](const QList<int>& p) {
         static const char* const how[] = {"left", "centre", "right"};
         const int n = p[0] >= '0' ? p[0] - '0' : p[0];
         return n >= 0 && n <= 2 ? QStringLiteral("justify ") + QLatin1String(how[n])
                                 : ofOne("justification %1 (unknown)", p[0]);
     }},
    {ESC, 'p', 3, "ESC p",
     [](const QList<int>& p) {
         const int pin = (p[0] & 1) ? 5 : 2;
         return QStringLiteral("drawer pin %1, on %2 ms, off %3 ms")
             .arg(pin)
             .arg(p[1] * 2)
             .arg(p[2] * 2);
     }},
    {ESC, 'd', 1, "ESC d",
     [](const QList<int>& p) { return ofOne("print and feed %1 lines", p[0]); }},
    {ESC, 'E', 1, "ESC E",
     [](const QList<int>& p) { return QStringLiteral("emphasis ") + onOff(p[0]); }},
    {ESC, '!', 1, "ESC !",
     [](const QList<int>& p) {
         QStringList mode{(p[0] & 1) ? QStringLiteral("font B") : QStringLiteral("font A")};
         if (p[0] & 0x08)
             mode << QStringLiteral("emphasized");
         if (p[0] & 0x10)
             mode << QStringLiteral("double height");
         if (p[0] & 0x20)
             mode << QStringLiteral("double width");
         if (p[0] & 0x80)
             mode << QStringLiteral("underline");
         return QStringLiteral("print mode: ") + mode.join(QStringLiteral(", "));
     }},
    {ESC, 't', 1, "ESC t",
     [](const QList<int>& p) { return ofOne("character code table %1", p[0]); }},
    {ESC, '-', 1, "ESC -",
     [](const QList<int>& p) {
         const int n = p[0] >= '0' ? p[0] - '0' : p[0];
         return n == 0 ? QStringLiteral("underline off") : ofOne("underline %1-dot", n);
     }},
    {ESC, 'M', 1, "ESC M",
     [](const QList<int>& p) {
         const int n = p[0] >= '0' ? p[0] - '0' : p[0];
         return QStringLiteral("font ") + QChar(u'A' + qBound(0, n, 25));
     }},
    {ESC, 'J', 1, "ESC J",
     [](const QList<int>& p) { return ofOne("print and feed %1 motion units", p[0]); }},
    {GS, '!', 1, "GS !",
     [](const QList<int>& p) {
         return QStringLiteral("character size: width %1, height %2")
             .arg((p[0] >> 4) + 1)
             .arg((p[0] & 0x0F) + 1);
     }},
    {GS, 'B', 1, "GS B",
     [](const QList<int>& p) { return QStringLiteral("reverse printing ") + onOff(p[0]); }},
    {GS, 'L', 2, "GS L",
     [](const QList<int>& p) { return ofOne("left margin %1 dots", p[0] + p[1] * 256); }},
    {GS, 'W', 2, "GS W",
     [](const QList<int>& p) { return ofOne("print area width %1 dots", p[0] + p[1] * 256); }},
    {GS, 'r', 1, "GS r",
     [](const QList<int>& p) {
         const int n = p[0] >= '0' ? p[0] - '0' : p[0];
         return n == 1   ? QStringLiteral("transmit the paper sensor status")
                : n == 2 ? QStringLiteral("transmit the drawer status")
                         : ofOne("transmit status %1", p[0]);
     }},
    {GS, 'I', 1, "GS I", [](const QList<int>& p) { return ofOne("transmit printer ID %1", p[0]); }},
    {FS, 'p', 2, "FS p",
     [](const QList<int>& p) {
         static const char* const modes[] = {"normal", "double width", "double height",
                                             "quadruple"};
         const int m = p[1] >= '0' ? p[1] - '0' : p[1];
         return QStringLiteral("print NV bit image %1, %2")
             .arg(p[0])
             .arg(m >= 0 && m <= 3 ? QLatin1String(modes[m]) : QLatin1String("unknown mode"));
     }},
    {DLE, Frames::EOT, 1, "DLE EOT",
     [](const QList<int>& p) {
         static const char* const what[] = {"printer", "offline cause", "error cause",
                                            "paper sensor"};
         return p[0] >= 1 && p[0] <= 4 ? QStringLiteral("real-time status request %1: %2")
                                             .arg(p[0])
                                             .arg(QLatin1String(what[p[0] - 1]))
                                       : ofOne("real-time status request %1 (unknown)", p[0]);
     }},
    {GS, 'V', 1, "GS V",
     [](const QList<int>& p) {
         // 0/48 and 65 cut fully, 1/49 and 66 partly: the odd ones below 65, the even above.
         const bool partial = p[0] >= 65 ? (p[0] & 1) == 0 : (p[0] & 1) == 1;
         const QString cut = partial ? QStringLiteral("partial cut") : QStringLiteral("full cut");
         if (p.size() < 2)
             return cut;
         return p[1] == 0
                    ? QStringLiteral("feed to cut position, ") + cut
                    : QStringLiteral("feed to cut position and %1 more, %2").arg(p[1]).arg(cut);
     }},
}};

const Fixed* fixedFor(std::uint8_t intro, std::uint8_t code)
{
    for (const Fixed& f : kFixed) {
        if (f.intro == intro && f.code == code)
            return &f;
    }
    return nullptr;
}

const char* introName(std::uint8_t intro)
{
    switch (intro) {
    case ESC:
        return "ESC";
    case GS:
        return "GS";
    case FS:
        return "FS";
    case DLE:
        return "DLE";
    }
    return "";
}

// ----- the printer's own configuration frames, as the catalogue's rows build them -----

struct Template {
    const Catalogue::Command* command;
    QByteArray frame; // the row's example, whose values are where the row says
};

const QList<Template>& templates()
{
    static const QList<Template> all = [] {
        QList<Template> frames;
        for (const Catalogue::Command& command : Catalogue::all()) {
            if (command.values.count > 0)
                frames << Template{&command, Catalogue::frame(command)};
        }
        return frames;
    }();
    return all;
}

bool matches(const Template& t, const char* bytes, qsizetype available)
{
    for (qsizetype i = 0; i < qMin(available, t.frame.size()); ++i) {
        if (!t.command->values.holds(i) && bytes[i] != t.frame[i])
            return false;
    }
    return true;
}

Item item(Kind kind, const QString& name, const QList<int>& params, const QString& meaning)
{
    Item made;
    made.kind = kind;
    made.name = name;
    made.params = params;
    made.meaning = meaning;
    return made;
}

} // namespace

const char* kindName(Kind kind)
{
    switch (kind) {
    case Kind::Command:
        return "command";
    case Kind::Text:
        return "text";
    case Kind::Config:
        return "config";
    case Kind::Unknown:
        return "unknown";
    case Kind::Truncated:
        return "truncated";
    }
    return "unknown";
}

Decoder::Decoder(int codePage)
    : m_codePage(codePage)
{}

QList<Item> Decoder::feed(QByteArrayView bytes)
{
    m_buffer.append(bytes.data(), bytes.size());
    QList<Item> out;
    run(false, out);
    return out;
}

QList<Item> Decoder::finish()
{
    QList<Item> out;
    run(true, out);
    return out;
}

void Decoder::run(bool atEnd, QList<Item>& out)
{
    while (m_at < m_buffer.size() || m_inPayload) {
        if (step(atEnd, out) == Step::NeedMore)
            break;
    }
    m_buffer.remove(0, m_at);
    m_at = 0;
}

void Decoder::emitBytes(Item made, qsizetype length, QList<Item>& out)
{
    made.offset = m_offset;
    made.length = length;
    made.head = m_buffer.mid(m_at, qMin(length, kHeadBytes));
    m_at += length;
    m_offset += length;
    out << made;
}

Decoder::Step Decoder::step(bool atEnd, QList<Item>& out)
{
    if (m_inPayload)
        return payload(atEnd, out);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(m_buffer.constData()) + m_at;
    const qsizetype available = m_buffer.size() - m_at;
    const std::uint8_t first = bytes[0];
    if (isText(first))
        return run(true, atEnd, out);
    if (isLoneUnknown(first))
        return run(false, atEnd, out);
    if (isOneByteCommand(first)) {
        static const char* const names[] = {"HT", "LF", "", "FF", "CR"};
        static const char* const meanings[] = {"horizontal tab", "print and line feed", "",
                                               "print and return to the start (form feed)",
                                               "carriage return"};
        const int i = first - HT;
        emitBytes(item(Kind::Command, QLatin1String(names[i]), {}, QLatin1String(meanings[i])), 1,
                  out);
        return Step::Consumed;
    }
    if (first == US)
        return config(atEnd, out);

    // ESC, GS, FS or DLE: the next byte tells the command, and with it how long it is.
    auto cutShort = [&](const QString& name) {
        if (!atEnd)
            return Step::NeedMore;
        emitBytes(
            item(Kind::Truncated, name, {}, QStringLiteral("cut off by the end of the stream")),
            available, out);
        return Step::Consumed;
    };
    const QString intro = QLatin1String(introName(first));
    if (available < 2)
        return cutShort(intro);
    const std::uint8_t code = bytes[1];
    const QString name = intro + u' ' + QChar(code);

    // The commands followed by data of a length they give.
    struct Bulk {
        std::uint8_t intro, code, third;
        qsizetype header;
    };
    static const Bulk kBulk[] = {
        {GS, 'v', '0', 8}, {GS, '(', 'L', 5}, {GS, '8', 'L', 7}, {FS, 'q', 0, 3}};
    for (const Bulk& bulk : kBulk) {
        if (bulk.intro != first || bulk.code != code)
            continue;
        const QString bulkName = bulk.third ? name + u' ' + QChar(bulk.third) : name;
        if (bulk.third && available >= 3 && bytes[2] != bulk.third)
            break; // not this command after all: unknown below
        if (available < bulk.header)
            return cutShort(bulkName);
        QList<int> params;
        for (qsizetype i = bulk.third ? 3 : 2; i < bulk.header; ++i)
            params << bytes[i];
        qint64 data = 0;
        int images = 0;
        QString meaning;
        if (code == 'v') {
            const qint64 width = params[1] + params[2] * 256, height = params[3] + params[4] * 256;
            data = width * height;
            meaning = QStringLiteral("raster image %1 x %2 dots, mode %3")
                          .arg(width * 8)
                          .arg(height)
                          .arg(params[0]);
        } else if (code == '(') {
            data = params[0] + params[1] * 256;
            meaning = QStringLiteral("graphics data, %1 bytes").arg(data);
        } else if (code == '8') {
            data = qint64(params[0]) | qint64(params[1]) << 8 | qint64(params[2]) << 16 |
                   qint64(params[3]) << 24;
            meaning = QStringLiteral("graphics data, %1 bytes").arg(data);
        } else {
            images = params[0];
            meaning = QStringLiteral("define %1 NV bit images").arg(images);
        }
        startPayload(item(Kind::Command, bulkName, params, meaning), bulk.header, data, images);
        return Step::Consumed;
    }

    const Fixed* fixed = fixedFor(first, code);
    if (!fixed) {
        emitBytes(item(Kind::Unknown, {}, {}, QStringLiteral("unknown %1 command").arg(intro)), 2,
                  out);
        return Step::Consumed;
    }
    int params = fixed->params;
    if (first == GS && code == 'V') {
        if (available < 3)
            return cutShort(name);
        params = bytes[2] >= 65 ? 2 : 1; // GS V 65/66 n: feed, then cut
    }
    if (available < 2 + params)
        return cutShort(name);
    QList<int> values;
    for (int i = 0; i < params; ++i)
        values << bytes[2 + i];
    emitBytes(item(Kind::Command, QLatin1String(fixed->name), values, fixed->meaning(values)),
              2 + params, out);
    return Step::Consumed;
}

// A run of text, or of control bytes that start nothing known, up to kLongestRun bytes. A run
// that reaches the end of what has come so far may go on: it waits for more.
Decoder::Step Decoder::run(bool text, bool atEnd, QList<Item>& out)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(m_buffer.constData());
    const qsizetype end = m_buffer.size();
    qsizetype j = m_at;
    while (j < end && j - m_at < kLongestRun) {
        const std::uint8_t b = bytes[j];
        if (text ? !isText(b) : !isLoneUnknown(b))
            break;
        if (text && AnsiCodePage::isLeadByte(b, m_codePage)) {
            // A two-byte character stays whole: its lead byte waits for its trail.
            if (j + 1 == end) {
                if (!atEnd)
                    return Step::NeedMore;
                ++j;
                break;
            }
            const std::uint8_t trail = bytes[j + 1];
            if (trail >= 0x40 && trail != DEL && trail != 0xFF) {
                if (j + 2 - m_at > kLongestRun)
                    break;
                j += 2;
                continue;
            }
        }
        ++j;
    }
    if (j == end && j - m_at < kLongestRun && !atEnd)
        return Step::NeedMore;
    const qsizetype length = j - m_at;
    if (text) {
        const QString decoded =
            AnsiCodePage::decode(QByteArrayView(m_buffer.constData() + m_at, length), m_codePage);
        emitBytes(item(Kind::Text, {}, {}, decoded), length, out);
    } else {
        emitBytes(item(Kind::Unknown, {}, {}, QStringLiteral("unknown bytes")), length, out);
    }
    return Step::Consumed;
}

Decoder::Step Decoder::config(bool atEnd, QList<Item>& out)
{
    const char* bytes = m_buffer.constData() + m_at;
    const qsizetype available = m_buffer.size() - m_at;
    const Template* partial = nullptr;
    int partials = 0;
    for (const Template& t : templates()) {
        if (!matches(t, bytes, available))
            continue;
        if (t.frame.size() > available) {
            partial = &t;
            ++partials;
            continue;
        }
        const Catalogue::Values& layout = t.command->values;
        QList<int> values;
        for (qsizetype i = layout.at - layout.lead; i < layout.at + layout.count; ++i)
            values << std::uint8_t(bytes[i]);
        emitBytes(
            item(Kind::Config, QLatin1String(t.command->name), values, layout.describe(values)),
            t.frame.size(), out);
        return Step::Consumed;
    }
    const QByteArray prefix = Frames::raw(Frames::kConfigPrefix);
    const bool prefixSoFar =
        prefix.startsWith(QByteArrayView(bytes, qMin(available, prefix.size())));
    if (partials > 0 || (prefixSoFar && available < prefix.size())) {
        if (!atEnd)
            return Step::NeedMore;
        const QString name =
            partials == 1 ? QLatin1String(partial->command->name) : QStringLiteral("config");
        emitBytes(
            item(Kind::Truncated, name, {}, QStringLiteral("cut off by the end of the stream")),
            available, out);
        return Step::Consumed;
    }
    if (prefixSoFar)
        emitBytes(item(Kind::Unknown, {}, {}, QStringLiteral("unknown configuration frame")),
                  prefix.size(), out);
    else
        emitBytes(item(Kind::Unknown, {}, {}, QStringLiteral("unknown bytes")), 1, out);
    return Step::Consumed;
}

void Decoder::startPayload(Item made, qsizetype header, qint64 payload, int images)
{
    made.offset = m_offset;
    made.length = header;
    made.head = m_buffer.mid(m_at, header);
    m_at += header;
    m_offset += header;
    m_current = made;
    m_payloadLeft = payload;
    m_imagesLeft = images;
    m_inPayload = true;
}

// The data of an image or graphics command: counted, and only its first bytes kept.
Decoder::Step Decoder::payload(bool atEnd, QList<Item>& out)
{
    auto consume = [this](qsizetype count) {
        const qsizetype room = kHeadBytes - m_current.head.size();
        if (room > 0)
            m_current.head.append(m_buffer.constData() + m_at, qMin(room, count));
        m_current.length += count;
        m_at += count;
        m_offset += count;
    };
    auto done = [&](Kind kind) {
        m_current.kind = kind;
        m_inPayload = false;
        out << m_current;
        return Step::Consumed;
    };
    for (;;) {
        const qsizetype available = m_buffer.size() - m_at;
        if (m_payloadLeft > 0) {
            if (available == 0)
                return atEnd ? done(Kind::Truncated) : Step::NeedMore;
            const qsizetype take = qsizetype(qMin<qint64>(available, m_payloadLeft));
            consume(take);
            m_payloadLeft -= take;
        } else if (m_imagesLeft > 0) {
            // FS q: each image gives its size in four bytes, then its data.
            if (available < 4) {
                if (!atEnd)
                    return Step::NeedMore;
                consume(available);
                return done(Kind::Truncated);
            }
            const auto* b = reinterpret_cast<const std::uint8_t*>(m_buffer.constData()) + m_at;
            m_payloadLeft = qint64(b[0] + b[1] * 256) * (b[2] + b[3] * 256) * 8;
            --m_imagesLeft;
            consume(4);
        } else {
            return done(Kind::Command);
        }
    }
}

QList<Item> decode(QByteArrayView bytes, int codePage)
{
    Decoder decoder(codePage);
    QList<Item> items = decoder.feed(bytes);
    items += decoder.finish();
    return items;
}

namespace {

QString hexOf(const Item& item)
{
    constexpr qsizetype kShown = 16;
    QString hex = QString::fromLatin1(item.head.left(kShown).toHex(' '));
    if (item.length > kShown)
        hex += QStringLiteral(" … (%1 bytes)").arg(item.length);
    return hex;
}

QString quoted(const QString& text)
{
    QString shown = QStringLiteral("\"");
    for (QChar c : text) {
        if (c == u'"' || c == u'\\')
            shown += u'\\';
        shown += c;
    }
    return shown + u'"';
}

} // namespace

QString describe(const Item& item)
{
    QString what;
    switch (item.kind) {
    case Kind::Text:
        what = quoted(item.meaning);
        break;
    case Kind::Command: {
        QString call = item.name;
        for (int p : item.params)
            call += u' ' + QString::number(p);
        what = call + QStringLiteral("  ") + item.meaning;
        break;
    }
    case Kind::Truncated:
        what = (item.name.isEmpty() ? QString() : item.name + QStringLiteral("  ")) + item.meaning;
        break;
    case Kind::Config:
    case Kind::Unknown:
        what = item.meaning;
        break;
    }
    return QStringLiteral("%1  %2  %3").arg(item.offset, 8).arg(hexOf(item), -26).arg(what);
}

QJsonObject toJson(const Item& item)
{
    QJsonArray params;
    for (int p : item.params)
        params << p;
    QJsonObject object{{"offset", item.offset},
                       {"length", item.length},
                       {"kind", QLatin1String(kindName(item.kind))},
                       {"name", item.name},
                       {"hex", QString::fromLatin1(item.head.toHex(' '))},
                       {"params", params},
                       {"meaning", item.meaning}};
    if (item.length > item.head.size())
        object.insert(QStringLiteral("hexShortened"), true);
    if (item.kind == Kind::Text)
        object.insert(QStringLiteral("text"), item.meaning);
    return object;
}

} // namespace Decoding
