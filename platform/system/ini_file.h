#pragma once
// INI profile files.
//
// File format (text, UTF-8, lines ending in LF; CR LF is read too):
//   [Section]          a section header; names compare without regard to case
//   Key=Value          an entry of the section above it; keys compare without
//                      regard to case; the value runs to the end of the line
//   ;comment           kept as it is, like blank lines and unknown lines
// Entries before the first header belong to no section and are kept.
//
// A file name without a directory lives in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config).  Reading a missing file gives an empty
// profile.  Writing keeps every other line of the file, changes an existing
// entry where it stands, appends a new one at the end of its section, and
// replaces the file in one step (a new file renamed over the old), so a
// failure never leaves it half written.

#include <QString>
#include <QStringList>
#include <vector>

#include "platform/base/exception.h"

// A file that cannot be written.
class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

class TIniFile {
public:
    explicit TIniFile(const QString& fileName);

    QString FileName() const { return path_; }

    QString ReadString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // A number in decimal, or in hexadecimal after 0x or 0X; anything else
    // (empty, trailing letters, out of range) gives the default.
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    bool SectionExists(const QString& section) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    // Writes the changes to disk; EIniFileException when that fails.
    void UpdateFile();

    // Where a file of that name lives.
    static QString ResolvePath(const QString& fileName);
    // The integer a profile text stands for, if it stands for one.
    static bool ParseInteger(const QString& text, int& value);

private:
    struct Line {
        QString text;     // the line as it stands in the file
        QString section;  // for a header: its name
        QString key;      // for an entry: its key
        QString value;    // for an entry: its value
        bool header = false;
        bool entry = false;
    };

    void load();
    const Line* findEntry(const QString& section, const QString& key) const;
    int sectionEnd(const QString& section) const;  // index after its last entry, -1 if absent

    QString path_;
    std::vector<Line> lines_;
    bool dirty_ = false;
};
