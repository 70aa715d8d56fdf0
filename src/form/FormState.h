#pragma once

#include <array>
#include <cstdint>

// The form-level variables through which the handlers talk to each other. They live as long as
// the window; Form_Load gives them their start values.
struct FormState {
    bool blnConnected = false;
    bool blnCurIPValid = true;
    bool blnSetIPValid = true;
    bool blnIDValid = true;
    bool blnTimeOut = false;
    std::array<std::uint8_t, 7> bytIPCmdHead{};
    std::array<std::uint8_t, 7> bytIDCmdHead{};
    std::array<std::uint8_t, 4> bytNewIP{};
    std::array<std::uint8_t, 6> bytNewID{};
};
