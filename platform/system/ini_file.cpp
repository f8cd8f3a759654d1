#include "platform/system/ini_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>
#include <cstdlib>

namespace {

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

QString configDirectory() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config) return QString::fromLocal8Bit(config);
    return QDir::homePath() + QStringLiteral("/.config");
}

}  // namespace

TIniFile::TIniFile(const QString& fileName) : path_(ResolvePath(fileName)) { load(); }

QString TIniFile::ResolvePath(const QString& fileName) {
    if (fileName.contains(QLatin1Char('/'))) return fileName;
    return configDirectory() + QLatin1Char('/') + fileName;
}

bool TIniFile::ParseInteger(const QString& text, int& value) {
    const QString trimmed = text.trimmed();
    bool ok = false;
    int parsed = 0;
    if (trimmed.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
        // Hexadecimal is read as the 32 bits it names, so FFFFFFFF is -1.
        const qulonglong bits = trimmed.mid(2).toULongLong(&ok, 16);
        ok = ok && bits <= 0xFFFFFFFFull;
        parsed = static_cast<int>(static_cast<quint32>(bits));
    } else {
        parsed = trimmed.toInt(&ok, 10);
    }
    if (ok) value = parsed;
    return ok;
}

void TIniFile::load() {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return;
    QTextStream in(&file);
    QString section;
    while (!in.atEnd()) {
        Line line;
        line.text = in.readLine();
        const QString trimmed = line.text.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            section = trimmed.mid(1, trimmed.size() - 2).trimmed();
            line.header = true;
        } else if (!trimmed.startsWith(QLatin1Char(';')) && trimmed.contains(QLatin1Char('='))) {
            const qsizetype eq = line.text.indexOf(QLatin1Char('='));
            line.entry = true;
            line.key = line.text.left(eq).trimmed();
            line.value = line.text.mid(eq + 1);
        }
        line.section = section;
        lines_.push_back(std::move(line));
    }
}

const TIniFile::Line* TIniFile::findEntry(const QString& section, const QString& key) const {
    for (const Line& line : lines_)
        if (line.entry && sameName(line.section, section) && sameName(line.key, key)) return &line;
    return nullptr;
}

QString TIniFile::ReadString(const QString& section, const QString& key,
                             const QString& defaultValue) const {
    const Line* line = findEntry(section, key);
    return line ? line->value : defaultValue;
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const {
    int value = defaultValue;
    const Line* line = findEntry(section, key);
    if (line && ParseInteger(line->value, value)) return value;
    return defaultValue;
}

bool TIniFile::SectionExists(const QString& section) const { return sectionEnd(section) >= 0; }

int TIniFile::sectionEnd(const QString& section) const {
    int end = -1;
    for (int i = 0; i < static_cast<int>(lines_.size()); ++i) {
        const Line& line = lines_[i];
        if (!sameName(line.section, section)) continue;
        if (line.header || line.entry) end = i + 1;
    }
    return end;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    dirty_ = true;
    for (Line& line : lines_) {
        if (line.entry && sameName(line.section, section) && sameName(line.key, key)) {
            line.value = value;
            line.text = line.key + QLatin1Char('=') + value;
            return;
        }
    }
    int at = sectionEnd(section);
    if (at < 0) {
        Line header;
        header.text = QLatin1Char('[') + section + QLatin1Char(']');
        header.section = section;
        header.header = true;
        lines_.push_back(header);
        at = static_cast<int>(lines_.size());
    }
    Line entry;
    entry.text = key + QLatin1Char('=') + value;
    entry.section = section;
    entry.key = key;
    entry.value = value;
    entry.entry = true;
    lines_.insert(lines_.begin() + at, entry);
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void TIniFile::UpdateFile() {
    if (!dirty_) return;
    const QString folder = QFileInfo(path_).absolutePath();
    QDir().mkpath(folder);
    QSaveFile file(path_);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        QTextStream out(&file);
        for (const Line& line : lines_) out << line.text << '\n';
        out.flush();
        if (file.commit()) {
            dirty_ = false;
            return;
        }
    }
    throw EIniFileException("Unable to write to " + path_.toStdString());
}
