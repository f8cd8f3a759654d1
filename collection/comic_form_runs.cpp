// TComicForm: the owned runs and the gaps of the current series on the
// series page, and the command that adds the missing issues as wanted
// books.  The runs are read straight from the engine's rows of the series
// (two key searches and its books), so they follow every move to another
// series at once, and are read again only when the series or the books
// table changed (the window asks at every move in either table).
#include <QAction>
#include <QMenu>

#include "collection/comic_form.h"
#include "collection/series_runs.h"
#include "insight/wanted_issues.h"
#include "platform/db/field.h"
#include "platform/widgets/dialogs.h"
#include "store/collection.h"

namespace {

const char* const kCommandCaption = "Add Missing Issues as Wanted";

bool Editing(const TTable& table) {
    return table.State() == TDataSetState::dsEdit || table.State() == TDataSetState::dsInsert;
}

void Refuse(const QString& text) { MessageDlg(text, TMsgDlgType::mtError, mbOK); }

QString TooLong(const QStringList& numbers) {
    for (const QString& number : numbers)
        if (number.size() > store::kComicNoWidth)
            return QStringLiteral(
                       "The issue number \"%1\" is longer than the %2 characters an "
                       "issue number holds.")
                .arg(number)
                .arg(store::kComicNoWidth);
    return {};
}

QString Confirmation(int count, const QString& series, const QStringList& numbers) {
    constexpr int kListed = 12;
    QString listed = numbers.mid(0, kListed).join(", ");
    if (numbers.size() > kListed) listed += ", ...";
    return QStringLiteral(
               "Add %1 %2 to %3 as wanted, with quantity 0?\n\n%4\n\nThe count of "
               "books owned stays as it is.")
        .arg(count)
        .arg(count == 1 ? "book" : "books")
        .arg(series, listed);
}

}  // namespace

void TComicForm::buildRunsCommands() {
    Edit1->addSeparator();
    AddMissing1 = Edit1->addAction("Add &Missing Issues as Wanted...");
    AddMissing1->setObjectName("AddMissing1");
    PopupMenu->addSeparator();
    AddMissing2 = PopupMenu->addAction("Add &Missing Issues as Wanted...");
    AddMissing2->setObjectName("AddMissing2");
    for (QAction* action : {AddMissing1, AddMissing2})
        connect(action, &QAction::triggered, this, [this] { AddMissingIssuesClick(); });
}

void TComicForm::ShowSeriesRuns() {
    if (!SeriesRuns) return;
    if (!TableBooks->Active() || !TableSeries->Active() || TableSeries->IsEmpty())
        return SeriesRuns->ShowNothing();
    SeriesRuns->ShowRunsOf(*TableBooks->EngineTable(), CurrentEntry);
}

void TComicForm::AddMissingIssuesClick() {
    if (cascading_ || !TableBooks->Active() || !TableSeries->Active()) return;
    if (TableSeries->IsEmpty())
        return Refuse("The collection has no series yet: add a series and its books first.");
    if (Editing(*TableSeries) || Editing(*TableBooks))
        return Refuse("Save or cancel the changes to the series or book first.");
    paradox::Table& books = *TableBooks->EngineTable();
    const std::vector<insight::BookIssue> issues = BooksOfSeries(books, CurrentEntry);
    const QString series = CurrentSeries + " - " + CurrentPublisher;
    if (issues.empty())
        return Refuse(QStringLiteral("%1 has no books yet: add the issues you own, and the "
                                     "missing ones are found between them.")
                          .arg(series));

    QString typed = insight::BuildRuns(issues).gapsText();
    if (!InputQuery(
            kCommandCaption,
            QStringLiteral("Issues to add as wanted books of %1 (such as 1–100):").arg(series),
            typed))
        return;
    std::vector<QString> stored;
    for (const insight::BookIssue& issue : issues) stored.push_back(issue.comicNo);
    const insight::WantedPlan plan = insight::PlanWantedIssues(typed, stored);
    if (!plan.error.isEmpty()) return Refuse(plan.error);
    if (const QString error = TooLong(plan.numbers); !error.isEmpty()) return Refuse(error);
    if (MessageDlg(Confirmation(static_cast<int>(plan.numbers.size()), series, plan.numbers),
                   TMsgDlgType::mtConfirmation, mbOKCancel) != mrOk)
        return;

    InsertWantedBooks(books, CurrentEntry, plan.numbers);
    TableBooks->Refresh();
    ShowSeriesRuns();
}
