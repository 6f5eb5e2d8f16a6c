#include "view/qt/find_bar.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>

#include "view/qt/mail_text_view.h"
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace view::qt {
namespace {

// The match a search selects among the sorted match starts, going on from
// position (the start of the match on show when selected, else the cursor).
std::size_t PickMatch(const std::vector<std::size_t>& starts, std::size_t position, FindStep step, bool selected) {
    const bool backward = step == FindStep::fsPrevious;
    const bool inclusive = step == FindStep::fsRefine || !selected;
    if (backward) {
        const auto it = std::lower_bound(starts.begin(), starts.end(), position);
        return it == starts.begin() ? starts.size() - 1 : static_cast<std::size_t>(it - starts.begin()) - 1;
    }
    const auto it = inclusive ? std::lower_bound(starts.begin(), starts.end(), position)
                              : std::upper_bound(starts.begin(), starts.end(), position);
    return it == starts.end() ? 0 : static_cast<std::size_t>(it - starts.begin());
}

// Each character of a search text in the forms it matches, as UTF-8.
std::vector<std::vector<std::string>> CaseForms(const QString& text) {
    std::vector<std::vector<std::string>> forms;
    for (const char32_t cp : text.toUcs4()) {
        std::vector<std::string> variants;
        for (const char32_t form : {cp, QChar::toLower(cp), QChar::toUpper(cp)}) {
            const std::string utf8 = QString::fromUcs4(&form, 1).toStdString();
            if (std::find(variants.begin(), variants.end(), utf8) == variants.end()) variants.push_back(utf8);
        }
        forms.push_back(std::move(variants));
    }
    return forms;
}

// The end of a match of forms at offset in text, or npos.
std::size_t MatchEnd(std::string_view text, std::size_t offset, const std::vector<std::vector<std::string>>& forms) {
    for (const std::vector<std::string>& variants : forms) {
        const auto it = std::find_if(variants.begin(), variants.end(), [&](const std::string& v) {
            return text.compare(offset, v.size(), v) == 0;
        });
        if (it == variants.end()) return std::string_view::npos;
        offset += it->size();
    }
    return offset;
}

}  // namespace

void MailTextFindTarget::Find(const QString& text, FindStep step, Reply reply) {
    if (!view_ || text.isEmpty()) return reply(0, 0);
    const std::string_view utf8 = view_->Text().Utf8();
    const auto forms = CaseForms(text);
    // Candidates where the first character matches in any of its forms.
    std::vector<std::size_t> candidates;
    for (const std::string& first : forms.front())
        for (std::size_t at = utf8.find(first); at != std::string_view::npos; at = utf8.find(first, at + 1))
            candidates.push_back(at);
    std::sort(candidates.begin(), candidates.end());
    std::vector<std::size_t> starts;
    std::vector<std::size_t> ends;
    for (const std::size_t at : candidates) {
        if (!starts.empty() && at < ends.back()) continue;
        const std::size_t end = MatchEnd(utf8, at, forms);
        if (end == std::string_view::npos) continue;
        starts.push_back(at);
        ends.push_back(end);
    }
    if (starts.empty()) return reply(0, 0);
    const auto [selectionStart, selectionEnd] = view_->Selection();
    const bool selected = selectionStart < selectionEnd;
    const std::size_t index = PickMatch(starts, selected ? selectionStart : view_->TopOffset(), step, selected);
    view_->Select(starts[index], ends[index]);
    view_->EnsureVisible(starts[index]);
    reply(static_cast<int>(index) + 1, static_cast<int>(starts.size()));
}

void WebFindTarget::Find(const QString& text, FindStep step, Reply reply) {
    if (!page_ || text.isEmpty()) return reply(0, 0);
    // The page's find starts a changed text at the current match itself.
    page_->findText(text, step == FindStep::fsPrevious ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags(),
                    [reply](const QWebEngineFindTextResult& result) {
                        reply(result.activeMatch(), result.numberOfMatches());
                    });
}

void WebFindTarget::EndFind() {
    if (page_) page_->findText(QString());
}

FindBar::FindBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("panelSuchen"));
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    auto* label = new QLabel(QStringLiteral("Suchen:"));
    field_ = new QLineEdit;
    field_->setObjectName(QStringLiteral("edSuchen"));
    field_->setClearButtonEnabled(true);
    label->setBuddy(field_);
    auto* next = new QPushButton(QStringLiteral("Weitersuchen"));
    next->setObjectName(QStringLiteral("btnWeitersuchen"));
    next->setToolTip(QStringLiteral("Nächster Treffer (F3, Eingabetaste)"));
    auto* previous = new QPushButton(QString::fromUtf8("Zurück"));
    previous->setObjectName(QStringLiteral("btnZurueck"));
    previous->setToolTip(QString::fromUtf8("Vorheriger Treffer (Umschalt+F3)"));
    count_ = new QLabel;
    count_->setObjectName(QStringLiteral("lblTreffer"));
    auto* close = new QToolButton;
    close->setObjectName(QStringLiteral("btnSuchenSchliessen"));
    close->setText(QString::fromUtf8("✕"));
    close->setToolTip(QString::fromUtf8("Suchleiste schließen (Esc)"));
    close->setAutoRaise(true);
    layout->addWidget(label);
    layout->addWidget(field_, 1);
    layout->addWidget(next);
    layout->addWidget(previous);
    layout->addWidget(count_);
    layout->addStretch(0);
    layout->addWidget(close);

    connect(next, &QPushButton::clicked, this, &FindBar::FindNext);
    connect(previous, &QPushButton::clicked, this, &FindBar::FindPrevious);
    connect(close, &QToolButton::clicked, this, &FindBar::Close);
    connect(field_, &QLineEdit::returnPressed, this, [this] {
        if (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier)
            FindPrevious();
        else
            FindNext();
    });
    // Typing searches at once, from where the last match was.
    connect(field_, &QLineEdit::textEdited, this, [this] { Search(FindStep::fsRefine); });
    hide();
}

void FindBar::Open() {
    show();
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
}

void FindBar::Close() {
    if (FindTarget* target = currentTarget ? currentTarget() : nullptr) target->EndFind();
    hide();
    count_->clear();
}

void FindBar::FindNext() { Search(FindStep::fsNext); }

void FindBar::FindPrevious() { Search(FindStep::fsPrevious); }

QString FindBar::CountText() const { return count_->text(); }

void FindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Close();
        event->accept();
        return;
    }
    QFrame::keyPressEvent(event);
}

void FindBar::Search(FindStep step) {
    if (isHidden()) show();
    FindTarget* target = currentTarget ? currentTarget() : nullptr;
    if (lastTarget_ && lastTarget_ != target) lastTarget_->EndFind();
    lastTarget_ = target;
    const QString text = field_->text();
    if (!target || text.isEmpty()) {
        if (target) target->EndFind();
        count_->clear();
        return;
    }
    // A late reply of an earlier search must not overwrite this one.
    const int search = ++searches_;
    QPointer<FindBar> self(this);
    target->Find(text, step, [self, search](int current, int total) {
        if (self && search == self->searches_) self->ShowCount(current, total);
    });
}

void FindBar::ShowCount(int current, int total) {
    count_->setText(total == 0 ? QStringLiteral("Nicht gefunden")
                               : QStringLiteral("%1 von %2").arg(current).arg(total));
}

}  // namespace view::qt
