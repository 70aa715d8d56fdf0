#include "PrinterStatus.h"

#include <QStringList>

namespace PrinterStatus {

namespace {

constexpr ConditionRow kConditions[] = {
    {Condition::DrawerSignalHigh, 1, kDrawerSignalHigh, "drawer_signal_high", "drawer signal high"},
    {Condition::Offline, 1, kOffline, "offline", "offline"},
    {Condition::CoverOpen, 2, kCoverOpen, "cover_open", "cover open"},
    {Condition::FeedButton, 2, kFeedButton, "feed_button", "paper being fed by the FEED button"},
    {Condition::PaperEndStop, 2, kPaperEndStop, "paper_end_stop", "printing stopped by paper end"},
    {Condition::Error, 2, kError, "error", "error"},
    {Condition::AutocutterError, 3, kAutocutterError, "autocutter_error", "autocutter error"},
    {Condition::UnrecoverableError, 3, kUnrecoverableError, "unrecoverable_error",
     "unrecoverable error"},
    {Condition::RecoverableError, 3, kRecoverableError, "recoverable_error",
     "automatically recoverable error"},
    {Condition::PaperNearEnd, 4, kPaperNearEnd, "paper_near_end", "paper near end"},
    {Condition::PaperEnd, 4, kPaperEnd, "paper_end", "paper end"},
};

constexpr bool inOrderOfTheEnum()
{
    for (std::size_t i = 0; i < std::size(kConditions); ++i) {
        if (std::size_t(kConditions[i].condition) != i)
            return false;
    }
    return true;
}
static_assert(inOrderOfTheEnum(), "a condition's row is found by its value");

const ConditionRow& row(Condition condition)
{
    return kConditions[int(condition)];
}

constexpr std::uint8_t kFixed = kFixedBits;

// A printer out of paper or with its cover open is offline too, and says why in DLE EOT 2.
constexpr Simulation kSimulations[] = {
    {"online", {{kFixed, kFixed, kFixed, kFixed}}},
    {"paper-near-end", {{kFixed, kFixed, kFixed, kFixed | kPaperNearEnd}}},
    {"paper-out", {{kFixed | kOffline, kFixed | kPaperEndStop, kFixed, kFixed | kPaperEnd}}},
    {"cover-open", {{kFixed | kOffline, kFixed | kCoverOpen, kFixed, kFixed}}},
    {"offline", {{kFixed | kOffline, kFixed, kFixed, kFixed}}},
};

} // namespace

std::span<const Simulation> simulations()
{
    return kSimulations;
}

const Simulation* simulation(QStringView name)
{
    for (const Simulation& s : kSimulations) {
        if (name == QLatin1String(s.name))
            return &s;
    }
    return nullptr;
}

std::span<const ConditionRow> conditions()
{
    return kConditions;
}

bool isStatusByte(std::uint8_t byte)
{
    return (byte & kFixedMask) == kFixedBits;
}

bool Status::has(Condition condition) const
{
    const ConditionRow& c = row(condition);
    return (bytes[std::size_t(c.request - 1)] & c.bits) != 0;
}

QString Status::summary() const
{
    QStringList problems;
    for (const ConditionRow& c : kConditions) {
        if (c.condition == Condition::DrawerSignalHigh || c.condition == Condition::Offline)
            continue;
        // Out of paper says more than nearly out.
        if (c.condition == Condition::PaperNearEnd && has(Condition::PaperEnd))
            continue;
        if (has(c.condition))
            problems << QString::fromLatin1(c.words);
    }
    QString text = QString::fromLatin1(online() ? "online" : "offline");
    if (problems.isEmpty() && online())
        text += QStringLiteral(", paper ok");
    else if (!problems.isEmpty())
        text += (online() ? QStringLiteral(", ") : QStringLiteral(": ")) + problems.join(u", ");
    return text + QStringLiteral("; drawer signal ") +
           QString::fromLatin1(has(Condition::DrawerSignalHigh) ? "high" : "low");
}

Reply read(const QByteArray& reply)
{
    Reply result;
    for (int i = 0; i < kRequests; ++i) {
        result.request = i + 1;
        if (i >= reply.size())
            return result;
        const auto byte = std::uint8_t(reply[i]);
        if (!isStatusByte(byte)) {
            result.check = ReplyCheck::Invalid;
            return result;
        }
        result.status.bytes[std::size_t(i)] = byte;
    }
    result.check = ReplyCheck::Complete;
    result.request = 0;
    return result;
}

std::optional<std::uint8_t> transmitted(const Status& status, int n)
{
    switch (n) {
    case 1:
    case 49:
        return std::uint8_t((status.has(Condition::PaperNearEnd) ? kSensorNearEnd : 0) |
                            (status.has(Condition::PaperEnd) ? kSensorPaperEnd : 0));
    case 2:
    case 50:
        return std::uint8_t(status.has(Condition::DrawerSignalHigh) ? kDrawerPinHigh : 0);
    }
    return std::nullopt;
}

std::array<std::uint8_t, kAutomaticBytes> automatic(const Status& status)
{
    auto bit = [&status](Condition condition, std::uint8_t bits) {
        return status.has(condition) ? bits : std::uint8_t(0);
    };
    return {
        std::uint8_t(kAutomaticFirstBits | bit(Condition::DrawerSignalHigh, kAutomaticDrawerHigh) |
                     bit(Condition::Offline, kAutomaticOffline) |
                     bit(Condition::CoverOpen, kAutomaticCoverOpen) |
                     bit(Condition::FeedButton, kAutomaticFeedButton)),
        std::uint8_t(bit(Condition::AutocutterError, kAutomaticAutocutterError) |
                     bit(Condition::UnrecoverableError, kAutomaticUnrecoverableError) |
                     bit(Condition::RecoverableError, kAutomaticRecoverableError)),
        *transmitted(status, 1),
        0,
    };
}

std::optional<QByteArray> identified(const Identity& identity, int n)
{
    auto text = [](const QByteArray& words) {
        return char(kIdTextHeader) + words + char(kIdTextEnd);
    };
    switch (n) {
    case 1:
    case 49:
        return QByteArray(1, char(identity.modelId));
    case 2:
    case 50:
        return QByteArray(1, char(identity.typeId));
    case 3:
    case 51:
        return QByteArray(1, char(identity.versionId));
    case kIdFirmware:
        return text(identity.firmware);
    case kIdMaker:
        return text(identity.maker);
    case kIdModel:
        return text(identity.model);
    case kIdSerial:
        return text(identity.serial);
    }
    return std::nullopt;
}

QByteArray processed(QByteArrayView processId)
{
    QByteArray answer;
    answer += char(kProcessIdHeader);
    answer += char(kProcessIdIdentifier);
    answer += processId;
    answer += char(kProcessIdEnd);
    return answer;
}

} // namespace PrinterStatus
