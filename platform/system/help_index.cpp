#include "platform/system/help_index.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextDocument>
#include <algorithm>

namespace {

// Help pages are small; a bigger file is not one of ours.
constexpr qint64 kMaxPageBytes = 4 * 1024 * 1024;

bool readPage(const QString& path, QString& html) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPageBytes) return false;
    html = QString::fromUtf8(file.readAll());
    return true;
}

QString plainText(const QString& html) {
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

QStringList linkedPages(const QString& html) {
    static const QRegularExpression href(QStringLiteral("href\\s*=\\s*\"([^\"#:]+\\.html)[^\"]*\""),
                                         QRegularExpression::CaseInsensitiveOption);
    QStringList pages;
    for (auto it = href.globalMatch(html); it.hasNext();) {
        const QString page = it.next().captured(1);
        if (!pages.contains(page)) pages << page;
    }
    return pages;
}

}  // namespace

QStringList THelpIndex::WordsOf(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[^\\w]+"),
                                               QRegularExpression::UseUnicodePropertiesOption);
    QStringList words = text.toLower().split(separators, Qt::SkipEmptyParts);
    words.sort();
    words.removeDuplicates();
    return words;
}

QString THelpIndex::TitleOf(const QString& html, const QString& fallback) {
    static const QRegularExpression title(
        QStringLiteral("<title>(.*?)</title>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto match = title.match(html);
    const QString text = match.hasMatch() ? match.captured(1).simplified() : QString();
    return text.isEmpty() ? fallback : text;
}

bool THelpIndex::Load(const QString& contentsPath) {
    topics_.clear();
    QString contents;
    if (!readPage(contentsPath, contents)) return false;
    const QDir folder = QFileInfo(contentsPath).absoluteDir();
    for (const QString& page : linkedPages(contents)) {
        const QString path = folder.absoluteFilePath(page);
        QString html;
        if (!readPage(path, html)) continue;
        THelpTopic topic;
        topic.file = path;
        topic.title = TitleOf(html, QFileInfo(page).completeBaseName());
        topic.words = WordsOf(topic.title + QLatin1Char(' ') + plainText(html));
        topics_.push_back(std::move(topic));
    }
    return true;
}

std::vector<int> THelpIndex::Search(const QString& query) const {
    const QStringList wanted = WordsOf(query);
    std::vector<int> found;
    for (int i = 0; i < static_cast<int>(topics_.size()); ++i) {
        const QStringList& words = topics_[i].words;
        const bool all = std::all_of(wanted.begin(), wanted.end(), [&](const QString& w) {
            // The words are sorted: the first one not less than w starts with w if any does.
            const auto it = std::lower_bound(words.begin(), words.end(), w);
            return it != words.end() && it->startsWith(w);
        });
        if (all) found.push_back(i);
    }
    return found;
}
