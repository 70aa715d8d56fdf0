#include "Outcome.h"

#include "Texts.h"

namespace Outcomes {

const char* word(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Connected:
        return "connected";
    case Outcome::Sent:
        return "sent";
    case Outcome::Delivered:
        return "delivered";
    case Outcome::InvalidAddress:
        return "invalid-address";
    case Outcome::InvalidInput:
        return "invalid-input";
    case Outcome::Busy:
        return "busy";
    case Outcome::Refused:
        return "refused";
    case Outcome::TimedOut:
        return "timed-out";
    case Outcome::ConnectError:
        return "connect-error";
    case Outcome::SendFailed:
        return "send-failed";
    case Outcome::Declined:
        return "declined";
    case Outcome::NoStatus:
        return "no-status";
    }
    return "unknown";
}

bool succeeded(Outcome outcome)
{
    return outcome == Outcome::Connected || outcome == Outcome::Sent ||
           outcome == Outcome::Delivered;
}

QString windowText(Outcome outcome, Catalogue::Id command)
{
    const char* text = nullptr;
    switch (outcome) {
    case Outcome::Connected:
        text = Texts::kConnectSucceeded;
        break;
    case Outcome::Delivered:
        // Only the download says so; every other command is silent when it works.
        if (command == Catalogue::Id::NvDownload)
            text = Texts::kNvDownloadComplete;
        break;
    case Outcome::InvalidAddress:
        text = Texts::kInvalidCurrentIP;
        break;
    case Outcome::Busy:
        text = Texts::kConnectError;
        break;
    case Outcome::Refused:
    case Outcome::TimedOut:
    case Outcome::ConnectError:
        text = Texts::kConnectFailed;
        break;
    case Outcome::SendFailed:
        text = Texts::kTransmitFailed;
        break;
    case Outcome::InvalidInput:
        if (command == Catalogue::Id::CodePage)
            text = Texts::kCodePageOutOfRange;
        break;
    case Outcome::Sent:
    case Outcome::Declined:
    case Outcome::NoStatus:
        break;
    }
    return text ? QString::fromUtf8(text) : QString();
}

QString confirmation(Catalogue::Id command, const QString& typed)
{
    const char* opening = command == Catalogue::Id::SetIp   ? Texts::kAskSetIP
                          : command == Catalogue::Id::SetId ? Texts::kAskID
                                                            : nullptr;
    if (!opening)
        return {};
    return QString::fromLatin1(opening) + typed + QStringLiteral("\r\n") +
           QString::fromLatin1(Texts::kAreYouSure);
}

} // namespace Outcomes
