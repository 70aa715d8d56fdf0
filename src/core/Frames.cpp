#include "Frames.h"

#include <initializer_list>

namespace Frames {

namespace {

QByteArray bytes(std::initializer_list<std::uint8_t> values)
{
    QByteArray frame;
    frame.reserve(qsizetype(values.size()));
    for (std::uint8_t value : values)
        frame.append(char(value));
    return frame;
}

QByteArray config(std::initializer_list<std::uint8_t> values)
{
    return raw(kConfigPrefix) + bytes(values);
}

} // namespace

QByteArray cashDrawer()
{
    return bytes({ESC, 'p', 0, 80, 80});
}

QByteArray cutPaper()
{
    return bytes({GS, 'V', 66, 0});
}

QByteArray printNvImage()
{
    return bytes({ESC, '@', ESC, 'a', 1, FS, 'p', 1, 0, LF, ESC, '@'});
}

QByteArray armBoard(std::uint8_t board)
{
    return config({kArmBoard, 0x09, 0x06, 0x06, board});
}

std::uint8_t languageByte(int languageIndex)
{
    if (languageIndex < 0 || languageIndex >= kLanguageCount)
        return 0;
    return std::uint8_t((languageIndex + 1) * 17);
}

QByteArray setLanguage(int languageIndex)
{
    return config({kLanguage, languageByte(languageIndex), LF});
}

QByteArray blackMark(bool on)
{
    return config({kBlackMark, 0x04, 0x05, 0x06, on ? kBlackMarkOn : kBlackMarkOff});
}

QByteArray setDefaultCodePage(std::uint8_t codePage)
{
    return config({kCodePage, codePage, LF});
}

QByteArray statusRequest(std::uint8_t n)
{
    return bytes({DLE, EOT, n});
}

QByteArray queuedStatusRequest(std::uint8_t n)
{
    return bytes({GS, 'r', n});
}

QByteArray infoRequest(std::uint8_t n)
{
    return bytes({GS, 'I', n});
}

} // namespace Frames
