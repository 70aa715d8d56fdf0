// The question before a command that changes how a printer is reached: the window's words,
// with the printer named.
#include "Cli.h"
#include "core/Outcome.h"

#include <unistd.h>

namespace Cli {

int ask(const Context& context, const Catalogue::Command& command)
{
    if (::isatty(STDIN_FILENO) != 1) {
        context.output.err(QStringLiteral("corvane-cli: %1 asks before it changes a printer, but "
                                          "there is no terminal to ask on; give --yes to go ahead")
                               .arg(context.command));
        return Declined;
    }
    const QString typed = context.arguments.value(0);
    QString window = Outcomes::confirmation(command.id, typed);
    window.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QString question =
        QString::fromUtf8(command.words.change).arg(context.settings.targets.first().host, typed);
    const QByteArray text = (question + u'\n' + window + QStringLiteral(" [y/N] ")).toUtf8();
    [[maybe_unused]] const auto shown =
        ::write(STDERR_FILENO, text.constData(), size_t(text.size()));
    QByteArray answer;
    char c = 0;
    while (::read(STDIN_FILENO, &c, 1) == 1 && c != '\n')
        answer += c;
    const QByteArray word = answer.trimmed().toLower();
    if (word == "y" || word == "yes")
        return Ok;
    context.output.err(QStringLiteral("Nothing was sent."));
    return Declined;
}

} // namespace Cli
