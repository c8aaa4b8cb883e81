// Config.ini: reading one value the way the program has always read it.
#pragma once

#include <QString>

// Value of key in section of the GBK INI file, or defaultValue when the file,
// the section or the key is missing. A key that is present with an empty
// value gives the empty text. Section and key names match without regard to
// case; spaces around the value and one pair of enclosing quotes are removed.
// A value from the file is at most 254 bytes in GBK, cut at a character
// boundary; the default comes back as given, less its trailing spaces. A file
// that is not a regular file, or is bigger than kMaxIniFileBytes, counts as
// missing.
QString ReadIniValue(const QString &file, const QString &section, const QString &key, const QString &defaultValue);

// The largest settings file read; a real one holds a few lines.
constexpr qint64 kMaxIniFileBytes = 1024 * 1024;
