// Fuzz target for the address check: the first byte picks the rule ('E' the Ethernet ID, else
// IPv4), the rest is the text. No crash or undefined behaviour, and a broken invariant aborts.
#include "core/Address.h"

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const AddressRule& rule = data[0] == 'E' ? kEthernetIdRule : kIPv4Rule;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    // Exactly one byte per part, on the heap, so a store past the end is caught.
    const auto store = std::make_unique<std::uint8_t[]>(std::size_t(rule.parts));
    const CheckOutcome outcome =
        checkAddress(text, rule, std::span(store.get(), std::size_t(rule.parts)));

    bool holds =
        (outcome == CheckOutcome::Empty) == text.isEmpty() && checkAddress(text, rule) == outcome;
    if (&rule == &kIPv4Rule)
        holds = holds && parseIPv4(text).has_value() == (outcome == CheckOutcome::Valid);
    if (!holds) {
        std::fprintf(stderr, "address check broke an invariant for \"%s\"\n", qUtf8Printable(text));
        std::abort();
    }
    return 0;
}
