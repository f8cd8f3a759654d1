#pragma once
// The help viewer: a window owned by the program's frame that shows the
// program's help topics.  It takes three commands: contents, partial key (its
// search field, filled with the given text) and help on help (its own page on
// using the viewer).
//
// The help file path stays as the program sets it; where that path does not
// exist, the viewer looks for a file of the same name in the program's data
// folders (help/ beside the program, then ../share/panel-keep/help/).  A help
// file that cannot be found or read is reported in the viewer's window.

#include <QString>
#include <QStringList>
#include <QWidget>

#include "platform/system/help_index.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QTextBrowser;

inline constexpr unsigned HELP_CONTENTS = 3;
inline constexpr unsigned HELP_HELPONHELP = 4;
inline constexpr unsigned HELP_PARTIALKEY = 0x105;

class THelpViewer : public QWidget {
    Q_OBJECT

public:
    explicit THelpViewer(QWidget* owner);

    // The viewer of that owner, made and shown on first use.
    static THelpViewer* Of(QWidget* owner);
    // Where a help file of that path is found; empty when nowhere.
    static QString Locate(const QString& helpFile);

    // Runs a help command; false for a command the viewer does not know.
    bool Execute(const QString& helpFile, unsigned command, const QString& data);

    // What the viewer shows.
    QString ShownPage() const;  // the page's file path or resource URL
    QString ErrorText() const;  // the report on an unreadable help file, else empty
    bool SearchShown() const;
    QString SearchText() const;
    QStringList SearchResults() const;  // titles of the topics found
    void SetSearchText(const QString& text);
    void ShowResult(int row);

private:
    bool loadHelpFile(const QString& helpFile);
    void showContents();
    void showSearch(const QString& text);
    void showHelpOnHelp();
    void runSearch();
    void showError(const QString& text);

    QTextBrowser* browser_;
    QWidget* searchPanel_;
    QLineEdit* searchField_;
    QListWidget* results_;
    QLabel* error_;
    THelpIndex index_;
    QString contentsPath_;
    QString requestedFile_;
    std::vector<int> found_;
};

// Sends a help command to the viewer of owner.
bool WinHelp(QWidget* owner, const QString& helpFile, unsigned command, const QString& data = {});
