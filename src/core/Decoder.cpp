#include "Decoder.h"

#include "AnsiCodePage.h"
#include "Catalogue.h"
#include "Frames.h"

#include <QJsonArray>
#include <QStringList>

#include <algorithm>

namespace Decoding {

namespace {

using Frames::ESC;
using Frames::FS;
using Frames::GS;
constexpr std::uint8_t US = 0x1F, DEL = 0x7F;

bool isText(std::uint8_t b)
{
    return b >= 0x20 && b != DEL;
}

// A control byte that starts nothing we know: such bytes are shown together, as one run.
bool isLoneUnknown(std::uint8_t b)
{
    return !isText(b) && b != US && !EscPos::starts(b);
}

QString cutNote(qint64 taken, qint64 declared)
{
    const qint64 of = declared >= 0 ? declared : taken;
    return QStringLiteral(", cut off by the end of the stream after %1%2 data byte%3")
        .arg(taken)
        .arg(declared >= 0 ? QStringLiteral(" of %1").arg(declared) : QString())
        .arg(of == 1 ? QString() : QStringLiteral("s"));
}

// The words of a command, unless its own length leaves out some of its parameters.
QString wordsOf(const Item& made, const EscPos::Args& args)
{
    const int want = EscPos::argCount(*made.row) - args.skip;
    if (args.count() < want)
        return QStringLiteral("%1 of its %2 parameter bytes, by its own length")
            .arg(args.count())
            .arg(want);
    return EscPos::words(*made.row, args);
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

Decoder::Decoder(int codePage, Keep keep)
    : m_codePage(codePage)
    , m_keep(keep)
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
    while (m_at < m_buffer.size() || m_inData) {
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
    if (m_inData)
        return data(atEnd, out);
    const std::uint8_t first = std::uint8_t(m_buffer[m_at]);
    if (isText(first))
        return run(true, atEnd, out);
    if (first == US)
        return config(atEnd, out);
    if (isLoneUnknown(first))
        return run(false, atEnd, out);
    return command(atEnd, out);
}

// A command of the table, whose parameters tell how long it is.
Decoder::Step Decoder::command(bool atEnd, QList<Item>& out)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(m_buffer.constData()) + m_at;
    const qsizetype available = m_buffer.size() - m_at;
    auto cutShort = [&](const QString& name) {
        if (!atEnd)
            return Step::NeedMore;
        emitBytes(
            item(Kind::Truncated, name, {}, QStringLiteral("cut off by the end of the stream")),
            available, out);
        return Step::Consumed;
    };
    const EscPos::Match match = EscPos::find(bytes, available);
    if (match.result == EscPos::Match::NeedMore)
        return cutShort(match.name);
    const QString intro = EscPos::nameOf(bytes, 1);
    if (match.result == EscPos::Match::NoRow) {
        // Every ESC (, GS ( and FS ( command counts its own bytes: one we do not know is still
        // skipped whole, so that its data is never read as commands.
        if (bytes[1] == '(' && (bytes[0] == ESC || bytes[0] == GS || bytes[0] == FS)) {
            const QString name = EscPos::nameOf(bytes, int(qMin<qsizetype>(available, 3)));
            if (available < 5)
                return cutShort(name);
            startData(item(Kind::Unknown, {}, {}, QStringLiteral("unknown %1 command").arg(name)),
                      5, {EscPos::Data::Rest}, 0, bytes[3] | bytes[4] << 8);
            return Step::Consumed;
        }
        emitBytes(item(Kind::Unknown, {}, {}, QStringLiteral("unknown %1 command").arg(intro)), 2,
                  out);
        return Step::Consumed;
    }
    QList<int> params;
    for (int i = match.keySize; i < match.header; ++i)
        params << bytes[i];
    Item made = item(Kind::Command, match.name, params, {});
    made.op = EscPos::op(*match.row);
    made.row = match.row;
    const EscPos::Data rule = EscPos::data(*match.row);
    if (rule.kind == EscPos::Data::None) {
        made.meaning = wordsOf(made, {made.params, match.skip});
        emitBytes(made, match.header, out);
    } else {
        startData(made, match.header, rule, match.skip, match.counted);
    }
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
        Item made = item(Kind::Text, {}, {}, decoded);
        made.dataLength = length;
        if (m_keep == Keep::Data) {
            made.data = m_buffer.mid(m_at, length);
            made.dataKept = true;
        }
        emitBytes(made, length, out);
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

void Decoder::startData(Item made, qsizetype header, EscPos::Data rule, int skip, qint64 counted)
{
    made.offset = m_offset;
    made.length = header;
    made.head = m_buffer.mid(m_at, qMin(header, kHeadBytes));
    m_at += header;
    m_offset += header;
    m_current = made;
    m_inData = true;
    m_rule = rule;
    m_skip = skip;
    m_declared = -1;
    m_left = m_blocksLeft = m_taken = 0;
    m_previous = 0;
    m_shown.clear();
    const EscPos::Args args{m_current.params, skip};
    switch (rule.kind) {
    case EscPos::Data::Rest:
        m_declared = counted - args.count();
        break;
    case EscPos::Data::Count:
        m_declared = qMax<qint64>(0, rule.count(args));
        break;
    case EscPos::Data::UntilNul:
        m_most = rule.count(args);
        break;
    case EscPos::Data::Blocks:
        m_blocksLeft = rule.count(args);
        break;
    case EscPos::Data::None:
        break;
    }
    m_left = qMax<qint64>(0, m_declared);
    m_keeping = m_keep == Keep::Data && m_declared <= kKeptData;
    if (m_keeping && m_declared > 0)
        m_current.data.reserve(qsizetype(m_declared));
}

// Takes count bytes into the current command: its data, or a byte that only ends it.
void Decoder::consume(qsizetype count, bool isData)
{
    const char* from = m_buffer.constData() + m_at;
    const qsizetype room = kHeadBytes - m_current.head.size();
    if (room > 0)
        m_current.head.append(from, qMin(room, count));
    if (isData) {
        const qsizetype shown = kShownData - m_shown.size();
        if (shown > 0)
            m_shown.append(from, qMin(shown, count));
        if (m_keeping && m_current.data.size() + count > kKeptData) {
            m_keeping = false;
            m_current.data = QByteArray();
        } else if (m_keeping) {
            m_current.data.append(from, count);
        }
        m_taken += count;
    }
    m_current.length += count;
    m_at += count;
    m_offset += count;
}

// The command is whole, or cut off by the end of the stream.
Decoder::Step Decoder::done(bool cutOff, QList<Item>& out)
{
    m_inData = false;
    m_current.dataLength = m_declared >= 0 ? m_declared : m_taken;
    m_current.dataKept = m_keeping && !cutOff;
    if (m_current.row)
        m_current.meaning =
            wordsOf(m_current, {m_current.params, m_skip, m_shown, m_current.dataLength});
    if (cutOff) {
        m_current.kind = Kind::Truncated;
        m_current.meaning += cutNote(m_taken, m_declared);
    }
    out << m_current;
    m_current = Item();
    return Step::Consumed;
}

// The data of a command, as its row's rule says: counted, only its first bytes kept unless
// the user of the decoder asked for it whole.
Decoder::Step Decoder::data(bool atEnd, QList<Item>& out)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(m_buffer.constData());
    for (;;) {
        const qsizetype available = m_buffer.size() - m_at;
        if (m_left > 0) {
            if (available == 0)
                return atEnd ? done(true, out) : Step::NeedMore;
            const qsizetype take = qsizetype(qMin<qint64>(available, m_left));
            consume(take, true);
            m_left -= take;
            continue;
        }
        if (m_rule.kind == EscPos::Data::Blocks && m_blocksLeft > 0) {
            // Each block gives its size in its first bytes, then its data.
            if (available < m_rule.blockHead) {
                if (!atEnd)
                    return Step::NeedMore;
                consume(available, true);
                return done(true, out);
            }
            m_left = m_rule.blockSize({m_current.params, m_skip}, bytes + m_at);
            --m_blocksLeft;
            consume(m_rule.blockHead, true);
            continue;
        }
        if (m_rule.kind != EscPos::Data::UntilNul)
            return done(false, out);
        // Up to its NUL, or up to a byte it does not take, which is read as what comes next.
        if (available == 0)
            return !atEnd ? Step::NeedMore : done(m_taken < m_most, out);
        const std::uint8_t b = bytes[m_at];
        if (b == 0) {
            consume(1, false);
            return done(false, out);
        }
        if (m_taken == m_most || !m_rule.takes({m_current.params, m_skip}, b, m_previous))
            return done(false, out);
        consume(1, true);
        m_previous = b;
    }
}

QList<Item> decode(QByteArrayView bytes, int codePage, Keep keep)
{
    Decoder decoder(codePage, keep);
    QList<Item> items = decoder.feed(bytes);
    items += decoder.finish();
    return items;
}

namespace {

QString hexOf(const Item& item)
{
    constexpr qsizetype kShown = 16;
    QString hex = QString::fromLatin1(item.head.left(kShown).toHex(' ').toUpper());
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

// A character that could move the cursor, set a terminal's title, ring its bell or turn the
// line around: the C0 and C1 controls, DEL, line and paragraph separators, direction overrides.
bool drivesTerminal(QChar c)
{
    const QChar::Category category = c.category();
    const char16_t u = c.unicode();
    return category == QChar::Other_Control || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph || (u >= 0x202A && u <= 0x202E) ||
           (u >= 0x2066 && u <= 0x2069);
}

QString printable(const QString& text)
{
    if (std::none_of(text.begin(), text.end(), drivesTerminal))
        return text;
    QString shown;
    for (QChar c : text) {
        if (!drivesTerminal(c))
            shown += c;
        else if (c.unicode() < 0x100)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
        else
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
    }
    return shown;
}

QString call(const Item& item)
{
    QString call = item.name;
    for (int p : item.params)
        call += u' ' + QString::number(p);
    return call;
}

} // namespace

int Item::arg(std::string_view name) const
{
    return row ? params.value(EscPos::argIndex(*row, name), -1) : -1;
}

QString describe(const Item& item)
{
    QString what;
    switch (item.kind) {
    case Kind::Text:
        what = quoted(item.meaning);
        break;
    case Kind::Command:
        what = call(item) + QStringLiteral("  ") + item.meaning;
        break;
    case Kind::Truncated:
        what = (item.name.isEmpty() ? QString() : call(item) + QStringLiteral("  ")) + item.meaning;
        break;
    case Kind::Config:
    case Kind::Unknown:
        what = item.meaning;
        break;
    }
    return QStringLiteral("%1  %2  %3")
        .arg(item.offset, 8)
        .arg(hexOf(item), -26)
        .arg(printable(what));
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
                       {"hex", QString::fromLatin1(item.head.toHex(' ').toUpper())},
                       {"params", params},
                       {"meaning", item.meaning}};
    if (item.length > item.head.size())
        object.insert(QStringLiteral("hexShortened"), true);
    if (item.kind == Kind::Text)
        object.insert(QStringLiteral("text"), item.meaning);
    if (item.row) {
        object.insert(QStringLiteral("op"), QLatin1String(EscPos::token(*item.row)));
        QJsonObject args;
        for (qsizetype i = 0; i < item.params.size(); ++i) {
            const std::string_view name = EscPos::argName(*item.row, int(i));
            args.insert(QLatin1String(name.data(), qsizetype(name.size())), item.params[i]);
        }
        object.insert(QStringLiteral("args"), args);
        if (EscPos::data(*item.row).kind != EscPos::Data::None)
            object.insert(QStringLiteral("dataLength"), item.dataLength);
    }
    return object;
}

} // namespace Decoding
