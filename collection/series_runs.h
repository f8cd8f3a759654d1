#pragma once
// The owned runs and gaps of one series as the collection window shows
// them, read from the engine's books table, and the books that fill the
// gaps as wanted ones.

#include <QLabel>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "insight/runs.h"
#include "platform/paradox/table.h"
#include "platform/widgets/group_box.h"

// The stored issue numbers and quantities of the series' books, found by
// two key searches on the books' primary index (led by ENTRY).
std::vector<insight::BookIssue> BooksOfSeries(const paradox::Table& books, int entry);

// Inserts a wanted book with quantity 0 for each issue number, in one batch
// of the engine: all of them or, when one fails, none.
void InsertWantedBooks(paradox::Table& books, int entry, const QStringList& numbers);

// The series page's strip: the owned runs, the gaps and the counts.  A text
// too long for its line is cut with an ellipsis; its tooltip holds it whole.
class TSeriesRunsBox : public TGroupBox {
public:
    explicit TSeriesRunsBox(QWidget* parent = nullptr);
    // Shows the runs of the series `entry`; read again only when the entry
    // or the table changed since they were last shown.
    void ShowRunsOf(const paradox::Table& books, int entry);
    void ShowRuns(const insight::SeriesRuns& runs);
    void ShowNothing();
    // The lines as shown when they are not cut.
    const QString& OwnedLine() const { return owned_; }
    const QString& MissingLine() const { return missing_; }

    QLabel* LabelOwned = nullptr;
    QLabel* LabelMissing = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void SetLine(QLabel* label, const QString& text);
    QString owned_, missing_;
    struct Shown {
        const paradox::Table* books;
        int entry;
        std::uint64_t change;
        bool operator==(const Shown&) const = default;
    };
    std::optional<Shown> shown_;
};
