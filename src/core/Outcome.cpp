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
    case Outcome::Answered:
        return "answered";
    case Outcome::Interrupted:
        return "interrupted";
    case Outcome::DryRun:
        return "dry-run";
    case Outcome::Printed:
        return "printed";
    case Outcome::PaperOut:
        return "paper-out";
    case Outcome::CoverOpen:
        return "cover-open";
    case Outcome::Offline:
        return "offline";
    case Outcome::NoConfirmation:
        return "no-confirmation";
    case Outcome::Disconnected:
        return "disconnected";
    }
    return "unknown";
}

bool succeeded(Outcome outcome)
{
    return outcome == Outcome::Connected || outcome == Outcome::Sent ||
           outcome == Outcome::Delivered || outcome == Outcome::Answered ||
           outcome == Outcome::DryRun || outcome == Outcome::Printed;
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
        text = Catalogue::command(command).words.delivered;
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
        text = Catalogue::command(command).words.refused;
        break;
    case Outcome::Sent:
    case Outcome::Declined:
    case Outcome::NoStatus:
    case Outcome::Answered:
    case Outcome::Interrupted:
    case Outcome::DryRun:
    case Outcome::Printed:
    case Outcome::PaperOut:
    case Outcome::CoverOpen:
    case Outcome::Offline:
    case Outcome::NoConfirmation:
    case Outcome::Disconnected:
        break;
    }
    return text ? QString::fromUtf8(text) : QString();
}

QString confirmation(Catalogue::Id command, const QString& typed)
{
    const char* opening = Catalogue::command(command).words.ask;
    if (!opening)
        return {};
    return QString::fromLatin1(opening) + typed + QStringLiteral("\r\n") +
           QString::fromLatin1(Texts::kAreYouSure);
}

} // namespace Outcomes
