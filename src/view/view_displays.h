#pragma once
// The displays of the mail view, as the core fills them. The Qt window
// implements this over its widgets; kqv-dump and the tests record.
//
// All texts are UTF-8, converted once per mail by the core in the charset
// choice of the mail (the classic view converts from Windows-1252).

#include <string>
#include <vector>

#include "view/joined_text.h"

namespace view {

// The pages of pcMailAnsicht, in tab order.
enum class Page { tsText, tsHTML, tsAnlagen, tsMailheader };
inline constexpr Page kAllPages[] = {Page::tsText, Page::tsHTML, Page::tsAnlagen, Page::tsMailheader};

// "Textansicht", "HTML-Ansicht", "Anlagen", "Mail Header".
const char* PageCaption(Page page);

class ViewDisplays {
public:
    virtual ~ViewDisplays() = default;

    // memoHeader1 (labels) and memoHeader2 (values), line for line; both
    // vectors have the same length and no entry holds a line break.
    virtual void ShowHeaderSummary(const std::vector<std::string>& labels,
                                   const std::vector<std::string>& values) = 0;
    // panelBetreff.
    virtual void ShowSubjectLine(const std::string& text) = 0;
    // reNachricht, read-only plain text: its whole content.
    virtual void ShowMessageText(const JoinedText& text) = 0;
    // memoHeader: its whole content, one entry per line.
    virtual void ShowRawHeader(const std::vector<std::string>& lines) = 0;
    // lbAnlagen: its whole content; the selection is cleared.
    virtual void ShowAttachmentList(const std::vector<std::string>& lines) = 0;
    // The selected line of lbAnlagen, -1 when none.
    virtual int SelectedAttachment() const = 0;

    virtual void SetPageVisible(Page page, bool visible) = 0;
    virtual void BringToFront(Page page) = 0;

    // Lets the window paint once while a long step runs (the repair of a
    // mail file); no other work may run from here.
    virtual void Repaint() = 0;
};

}  // namespace view
