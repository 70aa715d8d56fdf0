#pragma once

#include <QByteArray>

#include <cstdint>

// The bytes each command button sends, built fresh on every call. No frame carries a length,
// a terminator or an initialisation of its own unless shown here.
namespace Frames {

inline constexpr std::uint8_t ESC = 0x1B;
inline constexpr std::uint8_t FS = 0x1C;
inline constexpr std::uint8_t GS = 0x1D;
inline constexpr std::uint8_t LF = 0x0A;
// The printer's own configuration commands, outside ESC/POS, all begin with these three bytes.
inline constexpr std::uint8_t kConfigPrefix[] = {0x1F, 0x1B, 0x1F};

// ESC p 0 80 80: a 160 ms pulse on drawer pin 2, then 160 ms off.
QByteArray cashDrawer();
// GS V 66 0: feed to the cutting position, partial cut, no extra feed.
QByteArray cutPaper();

// The two interface-board commands; they differ only in their last byte.
QByteArray ostrikArm();
QByteArray velmarArm();
// The character language: index 0 to 3 of the language list, anything else meaning none.
std::uint8_t languageByte(int languageIndex);
QByteArray setLanguage(int languageIndex);
QByteArray blackMarkOn();
QByteArray blackMarkOff();
QByteArray setDefaultCodePage(std::uint8_t codePage);

// ESC @, ESC a 1, FS p 1 0, LF, ESC @: NV bit image 1, centred, between two resets.
QByteArray printNvImage();

} // namespace Frames
