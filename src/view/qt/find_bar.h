#pragma once
// The find bar above a text: field, "Weitersuchen", "Zurück", the match
// count ("3 von 12") and a close button; Esc closes it. What it searches
// is asked anew for every search, so that one bar serves whichever page is
// in front.

#include <QFrame>
#include <QPointer>
#include <functional>

#include <QWebEnginePage>

#include "view/qt/mail_text_view.h"

class QLabel;
class QLineEdit;

namespace view::qt {


// Which match a search selects.
enum class FindStep {
    fsNext,      // the one after the current match
    fsPrevious,  // the one before it
    fsRefine,    // the text was typed on: the current match, if it still is one
};

// Something the bar can search. Find selects a match, wrapping at either
// end, and reports the position of the selected match (from 1) and the
// number of matches, possibly later; 0 matches means nothing was found.
class FindTarget {
public:
    virtual ~FindTarget() = default;
    using Reply = std::function<void(int current, int total)>;
    virtual void Find(const QString& text, FindStep step, Reply reply) = 0;
    // The bar was closed or the text emptied: drop any highlighting.
    virtual void EndFind() {}
};

// A text page as a find target; letter case is ignored.
class MailTextFindTarget : public FindTarget {
public:
    explicit MailTextFindTarget(MailTextView* view) : view_(view) {}
    void Find(const QString& text, FindStep step, Reply reply) override;

private:
    QPointer<MailTextView> view_;
};

// The HTML view as a find target, through the page's own find.
class WebFindTarget : public FindTarget {
public:
    explicit WebFindTarget(QWebEnginePage* page) : page_(page) {}
    void Find(const QString& text, FindStep step, Reply reply) override;
    void EndFind() override;

private:
    QPointer<QWebEnginePage> page_;
};

class FindBar : public QFrame {
    Q_OBJECT
public:
    explicit FindBar(QWidget* parent = nullptr);

    // The target for the next search; nullptr when nothing can be searched.
    std::function<FindTarget*()> currentTarget;

    // Shows the bar with the field focused and its text selected.
    void Open();
    void Close();
    void FindNext();
    void FindPrevious();

    QString CountText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Search(FindStep step);
    void ShowCount(int current, int total);

    QLineEdit* field_;
    QLabel* count_;
    FindTarget* lastTarget_ = nullptr;
    int searches_ = 0;
};

}  // namespace view::qt
