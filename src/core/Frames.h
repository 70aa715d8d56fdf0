#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

// The bytes of every frame the tool sends, from named constants; the catalogue puts them
// together per command. No frame carries a length, a terminator or an initialisation of its
// own unless shown here.
namespace Frames {

inline constexpr std::uint8_t LF = 0x0A;
inline constexpr std::uint8_t DLE = 0x10;
inline constexpr std::uint8_t EOT = 0x04;
inline constexpr std::uint8_t ESC = 0x1B;
inline constexpr std::uint8_t FS = 0x1C;
inline constexpr std::uint8_t GS = 0x1D;

// The printer's own configuration commands, outside ESC/POS, all begin with these three bytes;
// the byte after them selects what is set.
inline constexpr std::array<std::uint8_t, 3> kConfigPrefix = {0x1F, 0x1B, 0x1F};
inline constexpr std::uint8_t kArmBoard = 0x09;
inline constexpr std::uint8_t kLanguage = 0xEE;
inline constexpr std::uint8_t kBlackMark = 0x80;
inline constexpr std::uint8_t kCodePage = 0xFF;
inline constexpr std::uint8_t kNetwork = 0x91;

// The heads of the two network frames: the prefix, 91 00, then the letters "IP" or "ID".
inline constexpr std::array<std::uint8_t, 7> kIPCmdHead = {0x1F, 0x1B, 0x1F, kNetwork,
                                                           0x00, 'I',  'P'};
inline constexpr std::array<std::uint8_t, 7> kIDCmdHead = {0x1F, 0x1B, 0x1F, kNetwork,
                                                           0x00, 'I',  'D'};
// The Ethernet ID's first byte, which nobody types.
inline constexpr std::uint8_t kEthernetIdFirst = 0x00;

// The last byte of the two interface-board frames, and of the two black-mark frames.
inline constexpr std::uint8_t kOstrikArm = 0x88;
inline constexpr std::uint8_t kVelmarArm = 0x44;
inline constexpr std::uint8_t kBlackMarkOn = 0x44;
inline constexpr std::uint8_t kBlackMarkOff = 0x66;

inline constexpr int kLanguageCount = 4;

// ESC p 0 80 80: a 160 ms pulse on drawer pin 2, then 160 ms off.
QByteArray cashDrawer();
// GS V 66 0: feed to the cutting position, partial cut, no extra feed.
QByteArray cutPaper();
// ESC @, ESC a 1, FS p 1 0, LF, ESC @: NV bit image 1, centred, between two resets.
QByteArray printNvImage();

QByteArray armBoard(std::uint8_t board);
// The language byte: (index + 1) x 17 for index 0 to 3 of the language list, 0 for none.
std::uint8_t languageByte(int languageIndex);
QByteArray setLanguage(int languageIndex);
QByteArray blackMark(bool on);
QByteArray setDefaultCodePage(std::uint8_t codePage);

// DLE EOT n: the printer answers with one status byte at once, whatever it is doing.
QByteArray statusRequest(std::uint8_t n);
// GS r n: answered with one byte once the printer has worked through everything before it.
QByteArray queuedStatusRequest(std::uint8_t n);
// GS I n: the printer's words about itself.
QByteArray infoRequest(std::uint8_t n);

template <std::size_t N> QByteArray raw(const std::array<std::uint8_t, N>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(N));
}

} // namespace Frames
