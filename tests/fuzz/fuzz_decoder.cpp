// Fuzz target for the decoder: no crash, no read past the end, every byte in exactly one item,
// the same items whether the stream comes in one read or in two, split where the first byte
// says, and with their data kept or not; no control character in a human line.
#include "core/Decoder.h"

#include <cstdio>
#include <cstdlib>

namespace {

bool same(const QList<Decoding::Item>& a, const QList<Decoding::Item>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].offset != b[i].offset || a[i].length != b[i].length || a[i].kind != b[i].kind ||
            a[i].name != b[i].name || a[i].params != b[i].params || a[i].meaning != b[i].meaning ||
            a[i].head != b[i].head || a[i].op != b[i].op || a[i].dataLength != b[i].dataLength ||
            (b[i].dataKept && b[i].data.size() != b[i].dataLength))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int codePage = data[0] & 1 ? 936 : data[0] & 2 ? 500 : 1252;
    const QByteArrayView stream(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QList<Decoding::Item> whole = Decoding::decode(stream, codePage);

    const qsizetype cut = stream.isEmpty() ? 0 : qsizetype(data[0]) % (stream.size() + 1);
    Decoding::Decoder decoder(codePage, Decoding::Keep::Data);
    QList<Decoding::Item> split = decoder.feed(stream.first(cut));
    split += decoder.feed(stream.sliced(cut));
    split += decoder.finish();

    qint64 at = 0;
    bool covered = true;
    for (const Decoding::Item& item : whole) {
        covered = covered && item.offset == at && item.length > 0;
        at += item.length;
        for (QChar c : Decoding::describe(item))
            covered = covered && c.unicode() >= 0x20;
    }
    if (!covered || at != stream.size() || !same(whole, split)) {
        std::fprintf(stderr,
                     "decoder: items depend on the split at %lld or keeping, miss bytes, or "
                     "show a control character\n",
                     static_cast<long long>(cut));
        std::abort();
    }
    return 0;
}
