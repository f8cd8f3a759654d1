#pragma once
// TDBNavigator: a row of record buttons (First, Prior, Next, Last, Insert,
// Delete, Edit, Post, Cancel, Refresh) acting on the dataset behind its data
// source.  Which buttons show is VisibleButtons; each has a "short|long" hint.
//
// The navigator knows its data source only through TNavigatorSource, the
// handful of moves and states it needs.  Without a data source (or with an
// inactive one) every button is disabled; a disabled navigator disables all
// of them too.  The source tells the navigator of every change of position
// or state by calling DataChanged().  Delete asks "Delete record?" first when
// ConfirmDelete is on.

#include <QStringList>
#include <QWidget>
#include <array>
#include <initializer_list>

class TSpeedButton;

enum class TNavigateBtn {
    nbFirst,
    nbPrior,
    nbNext,
    nbLast,
    nbInsert,
    nbDelete,
    nbEdit,
    nbPost,
    nbCancel,
    nbRefresh
};
inline constexpr int kNavigateButtonCount = 10;

// What the navigator asks of the dataset behind its data source.
class TNavigatorSource {
public:
    virtual ~TNavigatorSource() = default;

    virtual bool Active() const = 0;
    virtual bool Bof() const = 0;
    virtual bool Eof() const = 0;
    virtual bool Editing() const = 0;  // editing a row or inserting a new one
    virtual bool CanModify() const = 0;

    virtual void First() = 0;
    virtual void Prior() = 0;
    virtual void Next() = 0;
    virtual void Last() = 0;
    virtual void Insert() = 0;
    virtual void Delete() = 0;
    virtual void Edit() = 0;
    virtual void Post() = 0;
    virtual void Cancel() = 0;
    virtual void Refresh() = 0;
};

class TDBNavigator : public QWidget {
    Q_OBJECT

public:
    explicit TDBNavigator(QWidget* parent = nullptr);

    void SetVisibleButtons(std::initializer_list<TNavigateBtn> buttons);
    bool IsButtonVisible(TNavigateBtn button) const;
    // Hints of the visible buttons, in button order.
    void SetHints(const QStringList& hints);

    TNavigatorSource* DataSource() const { return source_; }
    void SetDataSource(TNavigatorSource* source);

    bool ConfirmDelete = true;

    // Runs the button's action on the data source, as a click does.
    void BtnClick(TNavigateBtn button);
    // Called by the data source whenever position or state changed.
    void DataChanged();

    TSpeedButton* Button(TNavigateBtn button) const;

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool buttonUsable(TNavigateBtn button) const;
    void layoutButtons();

    std::array<TSpeedButton*, kNavigateButtonCount> buttons_{};
    std::array<bool, kNavigateButtonCount> visible_{};
    TNavigatorSource* source_ = nullptr;
};
