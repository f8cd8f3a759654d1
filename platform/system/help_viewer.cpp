#include "platform/system/help_viewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

static void initHelpViewerResources() { Q_INIT_RESOURCE(help_viewer); }

namespace {

const QString kHelpOnHelpPage = QStringLiteral("qrc:/helpviewer/helponhelp.html");

// The help file's own name: the text after its last backslash, slash or colon.
QString bareFileName(const QString& path) {
    const qsizetype cut =
        std::max({path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')),
                  path.lastIndexOf(QLatin1Char(':'))});
    return path.mid(cut + 1);
}

QPushButton* toolButton(const QString& text, QWidget* parent, QHBoxLayout* bar) {
    auto* button = new QPushButton(text, parent);
    button->setFocusPolicy(Qt::TabFocus);
    bar->addWidget(button);
    return button;
}

}  // namespace

THelpViewer::THelpViewer(QWidget* owner)
    : QWidget(owner, Qt::Window),
      browser_(new QTextBrowser(this)),
      searchPanel_(new QWidget(this)),
      searchField_(new QLineEdit(searchPanel_)),
      results_(new QListWidget(searchPanel_)),
      error_(new QLabel(this)) {
    initHelpViewerResources();
    setWindowTitle(QStringLiteral("Help"));
    resize(720, 520);

    auto* bar = new QHBoxLayout;
    QPushButton* contents = toolButton(QStringLiteral("&Contents"), this, bar);
    QPushButton* search = toolButton(QStringLiteral("&Search"), this, bar);
    QPushButton* back = toolButton(QStringLiteral("&Back"), this, bar);
    QPushButton* forward = toolButton(QStringLiteral("&Forward"), this, bar);
    bar->addStretch();

    auto* panelLayout = new QVBoxLayout(searchPanel_);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    // The label's "&" marks its access key, which takes the user to the field.
    auto* prompt = new QLabel(QStringLiteral("Type the &word(s) to find:"), searchPanel_);
    prompt->setBuddy(searchField_);
    panelLayout->addWidget(prompt);
    panelLayout->addWidget(searchField_);
    panelLayout->addWidget(results_);
    auto* display = new QPushButton(QStringLiteral("&Display"), searchPanel_);
    panelLayout->addWidget(display);
    searchPanel_->setFixedWidth(230);
    searchPanel_->hide();

    error_->setWordWrap(true);
    error_->hide();
    auto* body = new QHBoxLayout;
    body->addWidget(searchPanel_);
    body->addWidget(browser_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(error_);
    layout->addLayout(body, 1);

    connect(contents, &QPushButton::clicked, this, &THelpViewer::showContents);
    connect(search, &QPushButton::clicked, this, [this] { showSearch(searchField_->text()); });
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(searchField_, &QLineEdit::textChanged, this, &THelpViewer::runSearch);
    connect(searchField_, &QLineEdit::returnPressed, this, [this] { ShowResult(0); });
    connect(results_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { ShowResult(results_->row(item)); });
    connect(display, &QPushButton::clicked, this, [this] { ShowResult(results_->currentRow()); });
    new QShortcut(QKeySequence::Find, this, [this] { showSearch(searchField_->text()); });
    new QShortcut(QKeySequence(Qt::Key_Escape), this, [this] { close(); });
}

THelpViewer* THelpViewer::Of(QWidget* owner) {
    if (auto* viewer =
            owner ? owner->findChild<THelpViewer*>(QString(), Qt::FindDirectChildrenOnly) : nullptr)
        return viewer;
    return new THelpViewer(owner);  // owned by owner, or closed and deleted when it has none
}

QString THelpViewer::Locate(const QString& helpFile) {
    if (QFileInfo(helpFile).isFile()) return helpFile;
    const QString name = bareFileName(helpFile);
    if (name.isEmpty()) return {};
    const QString programDir = QCoreApplication::applicationDirPath();
    for (const QString& folder : {programDir + QStringLiteral("/help"),
                                  programDir + QStringLiteral("/../share/panel-keep/help")}) {
        const QString candidate = QDir(folder).absoluteFilePath(name);
        if (QFileInfo(candidate).isFile()) return QDir::cleanPath(candidate);
    }
    return {};
}

bool THelpViewer::Execute(const QString& helpFile, unsigned command, const QString& data) {
    if (command != HELP_CONTENTS && command != HELP_PARTIALKEY && command != HELP_HELPONHELP)
        return false;
    if (!parentWidget()) setAttribute(Qt::WA_DeleteOnClose);
    show();
    raise();
    activateWindow();
    if (command == HELP_HELPONHELP) {
        showHelpOnHelp();
        return true;
    }
    if (!loadHelpFile(helpFile)) return true;
    if (command == HELP_CONTENTS)
        showContents();
    else
        showSearch(data);
    return true;
}

bool THelpViewer::loadHelpFile(const QString& helpFile) {
    if (helpFile == requestedFile_ && !contentsPath_.isEmpty()) return true;
    requestedFile_ = helpFile;
    contentsPath_ = Locate(helpFile);
    if (contentsPath_.isEmpty() || !index_.Load(contentsPath_)) {
        contentsPath_.clear();
        showError(QStringLiteral("Cannot find or open the help file %1.").arg(helpFile));
        return false;
    }
    error_->hide();
    error_->clear();
    return true;
}

void THelpViewer::showError(const QString& text) {
    searchPanel_->hide();
    browser_->clear();
    error_->setText(text);
    error_->show();
}

void THelpViewer::showContents() {
    if (contentsPath_.isEmpty()) return;
    searchPanel_->hide();
    browser_->setSource(QUrl::fromLocalFile(contentsPath_), QTextDocument::HtmlResource);
}

void THelpViewer::showHelpOnHelp() {
    searchPanel_->hide();
    browser_->setSource(QUrl(kHelpOnHelpPage), QTextDocument::HtmlResource);
}

void THelpViewer::showSearch(const QString& text) {
    if (contentsPath_.isEmpty()) return;
    searchPanel_->show();
    searchField_->setText(text);
    runSearch();
    searchField_->setFocus();
    searchField_->selectAll();
}

void THelpViewer::runSearch() {
    found_ = index_.Search(searchField_->text());
    results_->clear();
    for (int topic : found_) results_->addItem(index_.Topics()[topic].title);
    if (!found_.empty()) results_->setCurrentRow(0);
}

void THelpViewer::SetSearchText(const QString& text) { searchField_->setText(text); }

void THelpViewer::ShowResult(int row) {
    if (row < 0 || row >= static_cast<int>(found_.size())) return;
    browser_->setSource(QUrl::fromLocalFile(index_.Topics()[found_[row]].file),
                        QTextDocument::HtmlResource);
}

QString THelpViewer::ShownPage() const {
    const QUrl source = browser_->source();
    return source.isLocalFile() ? source.toLocalFile() : source.toString();
}

QString THelpViewer::ErrorText() const { return error_->text(); }

bool THelpViewer::SearchShown() const { return !searchPanel_->isHidden(); }

QString THelpViewer::SearchText() const { return searchField_->text(); }

QStringList THelpViewer::SearchResults() const {
    QStringList titles;
    for (int i = 0; i < results_->count(); ++i) titles << results_->item(i)->text();
    return titles;
}

bool WinHelp(QWidget* owner, const QString& helpFile, unsigned command, const QString& data) {
    return THelpViewer::Of(owner)->Execute(helpFile, command, data);
}
