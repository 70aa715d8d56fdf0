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
    QByteArray frame(reinterpret_cast<const char*>(kConfigPrefix), sizeof kConfigPrefix);
    return frame + bytes(values);
}

constexpr std::uint8_t kArmBoard = 0x09;
constexpr std::uint8_t kLanguage = 0xEE;
constexpr std::uint8_t kBlackMark = 0x80;
constexpr std::uint8_t kCodePage = 0xFF;
constexpr int kLanguageCount = 4;

} // namespace

QByteArray cashDrawer()
{
    return bytes({ESC, 'p', 0, 80, 80});
}

QByteArray cutPaper()
{
    return bytes({GS, 'V', 66, 0});
}

QByteArray ostrikArm()
{
    return config({kArmBoard, 0x09, 0x06, 0x06, 0x88});
}

QByteArray velmarArm()
{
    return config({kArmBoard, 0x09, 0x06, 0x06, 0x44});
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

QByteArray blackMarkOn()
{
    return config({kBlackMark, 0x04, 0x05, 0x06, 0x44});
}

QByteArray blackMarkOff()
{
    return config({kBlackMark, 0x04, 0x05, 0x06, 0x66});
}

QByteArray setDefaultCodePage(std::uint8_t codePage)
{
    return config({kCodePage, codePage, LF});
}

QByteArray printNvImage()
{
    return bytes({ESC, '@', ESC, 'a', 1, FS, 'p', 1, 0, LF, ESC, '@'});
}

} // namespace Frames
