#include "tests/collection/collection_fixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

#include "platform/db/session.h"
#include "platform/widgets/db_navigator.h"
#include "store/collection.h"

void CollectionWindowTest::SetUp() {
    // The frame keeps its placement in the configuration folder: this test's own.
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit() + "/config");
    store::CreateCollection(dir.path() + "/pkeep");
    store::RegisterAlias(dir.path() + "/pkeep");
    messageSeam_ = std::make_unique<TScopedMessageAnswerer>([this](const TMessageRequest& r) {
        asked << r.text;
        requests.push_back(r);
        if (answers.empty()) return static_cast<int>(mrOk);
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    });
    inputSeam_ = std::make_unique<TScopedInputAnswerer>([this](TInputRequest& r) {
        asked << r.caption + ": " + r.prompt;
        if (inputs.empty()) return false;
        r.value = inputs.front();
        inputs.pop_front();
        return true;
    });
    frame = std::make_unique<TMainForm>();
    installCollectionWindow(*frame);
    frame->show();
    QApplication::setActiveWindow(frame.get());
}

void CollectionWindowTest::TearDown() {
    answers.assign(8, mrNo);  // no pending change survives the test
    frame->close();
    frame.reset();
    QApplication::processEvents();
    inputSeam_.reset();
    messageSeam_.reset();
}

TComicForm* CollectionWindowTest::openWindow() {
    frame->ComicCollectionClick();
    form = ComicForm;
    return form;
}

void CollectionWindowTest::showBookPage() {
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    QApplication::processEvents();
}

void CollectionWindowTest::showSeriesPage() {
    form->PageControl1->setCurrentWidget(form->TabSheet1);
    QApplication::processEvents();
}

void CollectionWindowTest::typeInto(QWidget* control, const QString& text) {
    control->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->selectAll();
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(control)) {
        memo->selectAll();
    }
    if (text.isEmpty())
        QTest::keyClick(control, Qt::Key_Delete);
    else
        QTest::keyClicks(control, text);
}

void CollectionWindowTest::save() { frame->DBNavigatorCtrl->BtnClick(TNavigateBtn::nbPost); }
void CollectionWindowTest::undo() { frame->DBNavigatorCtrl->BtnClick(TNavigateBtn::nbCancel); }

void CollectionWindowTest::addSeries(const QString& name, const QString& publisher) {
    showSeriesPage();
    frame->DBNavigatorCtrl->BtnClick(TNavigateBtn::nbInsert);
    typeInto(form->DBEditSeries, name);
    typeInto(form->DBEditPublisher, publisher);
    save();
}

void CollectionWindowTest::addBook(const QString& number, int qty, const QString& edition) {
    showBookPage();
    frame->DBNavigatorCtrl->BtnClick(TNavigateBtn::nbInsert);
    typeInto(form->DBEditComicNo, number);
    if (!edition.isEmpty()) typeInto(form->DBEditEdition, edition);
    typeInto(form->DBEditQty, QString::number(qty));
    save();
}

std::shared_ptr<paradox::Table> CollectionWindowTest::engineTable(const char* name) const {
    return paradox::Table::open(dir.str() + "/pkeep/" + name);
}

paradox::Row CollectionWindowTest::storedSeries(const QString& name) const {
    auto table = engineTable("series.db");
    for (std::size_t i = 0; i < table->rowCount(); ++i)
        if (QString::fromStdString(table->row(i)[col::SERIES].asText()) == name)
            return table->row(i);
    ADD_FAILURE() << "no stored series " << name.toStdString();
    return {};
}

std::vector<paradox::Row> CollectionWindowTest::storedBooks() const {
    auto table = engineTable("books.db");
    std::vector<paradox::Row> rows;
    for (std::size_t i = 0; i < table->rowCount(); ++i) rows.push_back(table->row(i));
    return rows;
}

int CollectionWindowTest::storedOwned(const QString& name) const {
    const paradox::Row row = storedSeries(name);
    return row.empty() ? -1 : static_cast<int>(row[col::OWNED].asInt());
}

int CollectionWindowTest::seedSeries(const QString& name, const QString& publisher, int owned) {
    auto table = engineTable("series.db");
    paradox::Row row(9);
    row[col::SERIES] = paradox::Value::text(name.toStdString());
    row[col::PUBLISHER] = paradox::Value::text(publisher.toStdString());
    for (int flag : {col::FAVORITE, col::WANTED, col::FORSALE, col::NEW})
        row[flag] = paradox::Value::boolean(false);
    row[col::OWNED] = paradox::Value::integer(owned);
    const std::size_t at = table->insert(row);
    return static_cast<int>(table->row(at)[col::ENTRY].asInt());
}

void CollectionWindowTest::seedBook(int entry, const QString& number, int qty, int perc,
                                    double high, double paid) {
    auto table = engineTable("books.db");
    paradox::Row row(16);
    row[col::B_ENTRY] = paradox::Value::integer(entry);
    row[col::COMIC_NO] = paradox::Value::text(store::AlignComicNo(number).toStdString());
    row[col::QTY] = paradox::Value::integer(qty);
    row[col::PAID] = paradox::Value::floating(paid);
    row[col::LOW] = paradox::Value::floating(0);
    row[col::HIGH] = paradox::Value::floating(high);
    row[col::PERC] = paradox::Value::integer(perc);
    for (int flag : {col::B_WANTED, col::B_FORSALE, col::AUTOGRAPH})
        row[flag] = paradox::Value::boolean(false);
    table->insert(row);
}
