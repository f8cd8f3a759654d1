#pragma once
// Bounds that keep a hostile file from exhausting memory or time: a zip
// entry that unpacks to more than it could honestly hold, an endless line.

#include <QtGlobal>

namespace import {

// The most one zip entry (tellico.xml, ComicInfo.xml) may unpack to.
inline constexpr qint64 kMaxUnpackedBytes = qint64(1) << 30;
// An entry that unpacks to more than this many times its packed size is
// refused once past kRatioCheckFrom bytes: text packs ten to twenty times,
// a zip bomb a thousand.
inline constexpr qint64 kMaxPackRatio = 200;
inline constexpr qint64 kRatioCheckFrom = qint64(1) << 20;
// The longest CSV record (a line, or lines joined by a quoted field).
inline constexpr qint64 kMaxRecordBytes = qint64(1) << 20;
// The longest text one XML element may hold.
inline constexpr qint64 kMaxTextChars = qint64(1) << 20;

}  // namespace import
