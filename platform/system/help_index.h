#pragma once
// The topics of a help file and the search over their words.
//
// A help file is an HTML page, the contents, whose links to local .html
// files beside it name the topics.  A topic's title is its <title> (or its
// file name without one); its words are the title's and the text's, folded
// to lower case.  A search finds the topics in which every word of the query
// begins some word of the topic; an empty query finds them all.

#include <QString>
#include <QStringList>
#include <vector>

struct THelpTopic {
    QString file;  // absolute path of the topic's page
    QString title;
    QStringList words;  // sorted, without repeats
};

class THelpIndex {
public:
    // Reads the contents page and every topic it links to; false when the
    // contents page cannot be read.
    bool Load(const QString& contentsPath);

    const std::vector<THelpTopic>& Topics() const { return topics_; }
    // Indexes into Topics() of the topics the query finds, in contents order.
    std::vector<int> Search(const QString& query) const;

    static QStringList WordsOf(const QString& text);
    static QString TitleOf(const QString& html, const QString& fallback);

private:
    std::vector<THelpTopic> topics_;
};
