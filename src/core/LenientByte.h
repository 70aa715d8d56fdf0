#pragma once

#include <QStringView>

#include <cstdint>

// The default code page typed into txtcodepage, as the one byte its frame carries.
struct LenientByte {
    enum class Status {
        Valid,      // value holds the byte
        OutOfRange, // the number, rounded, lies outside 0 to 255
    };
    Status status = Status::Valid;
    std::uint8_t value = 0;

    bool operator==(const LenientByte&) const = default;
};

// Reads the leading number of the text leniently: blanks anywhere are ignored, reading stops at
// the first character that cannot continue a number, and a text without one reads as 0. Takes
// a sign, a fraction after a point, an exponent after E, or &H / &O followed by hexadecimal or
// octal digits. The decimal value is rounded exactly, halves to the even neighbour. Any length
// of digits or exponent is fine: what cannot fit is out of range, never an overflow.
LenientByte readLenientByte(QStringView text);
