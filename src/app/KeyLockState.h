#pragma once

#include <QString>

enum class LockKey { Caps, Num };

// Text of a lock-key indicator of the status bar: "CAPS" or "NUM" while the
// lock is on, "" while it is off or its state cannot be known.
//
// The state comes from the keyboard LEDs the kernel publishes under
// /sys/class/leds (entries like "input3::capslock"), which works under every
// display server without linking one. A machine without such LEDs (a headless
// or remote session) shows nothing.
QString LockKeyIndicator(LockKey key, const QString &ledsFolder = QStringLiteral("/sys/class/leds"));
