#pragma once

#include <QDeadlineTimer>

#include <functional>

namespace Module1 {

// Keeps the window's events flowing until until() holds or the deadline passes, blocking on the
// event loop in between (no polling). Returns false when abandon() ended the wait early.
bool waitUntil(const std::function<bool()>& until, const QDeadlineTimer& deadline,
               const std::function<bool()>& abandon);

// Waits ms milliseconds on a monotonic clock while the window's events are processed, at least
// once even for 0 or less. Returns false when abandon() cut the wait short.
bool Delay_ms(double ms, const std::function<bool()>& abandon = {});

} // namespace Module1
