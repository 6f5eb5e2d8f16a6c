#pragma once
// The displays, HTML view and message boxes of a view core that runs
// ChangeMail on a worker thread. Every call is carried over to the widgets
// on the GUI thread, in the order made; texts are converted on the calling
// thread, so the GUI thread only takes finished text. A message box holds
// the caller until the user closed it. Calls made on the GUI thread itself
// (the attachment actions, links) go straight through.
//
// Once abandoned (a newer mail was asked for, the window closes), every
// call from the worker raises LoadAbandoned, and a box it waits for is
// given up, so that ChangeMail ends at its next call or read.

#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "view/html_view.h"
#include "view/message_boxes.h"
#include "view/qt/mail_text.h"
#include "view/view_displays.h"

class QObject;

namespace view::qt {

// Raised into the core when its ChangeMail is abandoned; not an error.
struct LoadAbandoned {};

// What the widgets offer, on the GUI thread.
class MailViewWidgets {
public:
    virtual ~MailViewWidgets() = default;
    virtual void SetHeaderSummary(const QString& labels, const QString& values) = 0;
    virtual void SetSubjectLine(const QString& text) = 0;
    virtual void SetMessageText(MailText text) = 0;
    virtual void SetRawHeader(MailText text) = 0;
    virtual void SetAttachmentList(const QStringList& lines) = 0;
    virtual int SelectedAttachment() const = 0;
    virtual void SetPageVisible(Page page, bool visible) = 0;
    virtual void BringToFront(Page page) = 0;
    virtual void StopPage() = 0;
    // target as HtmlView::Navigate takes it.
    virtual void ShowPage(const std::string& target, const HtmlPageSettings& settings) = 0;
};

class GuiThreadPorts final : public ViewDisplays, public HtmlView, public MessageBoxes {
public:
    // context: an object of the GUI thread that outlives this; calls are
    // queued to it.
    GuiThreadPorts(QObject& context, MailViewWidgets& widgets, MessageBoxes& boxes);

    // GUI thread: a new ChangeMail may begin.
    void Renew();
    // Any thread: from now on the worker's calls raise LoadAbandoned.
    void Abandon();
    // Raises LoadAbandoned once abandoned.
    void Checkpoint() const;
    // GUI thread: message boxes wait (and so does the worker that asked for
    // them) until ReleaseBoxes; a window not yet shown has nothing to
    // stand them on.
    void HoldBoxes();
    void ReleaseBoxes();

    // ViewDisplays.
    void ShowHeaderSummary(const std::vector<std::string>& labels, const std::vector<std::string>& values) override;
    void ShowSubjectLine(const std::string& text) override;
    void ShowMessageText(const JoinedText& text) override;
    void ShowRawHeader(const std::vector<std::string>& lines) override;
    void ShowAttachmentList(const std::vector<std::string>& lines) override;
    int SelectedAttachment() const override;
    void SetPageVisible(Page page, bool visible) override;
    void BringToFront(Page page) override;
    // The window paints by itself while the worker runs.
    void Repaint() override {}

    // HtmlView.
    void Stop() override;
    void Navigate(const std::string& target, const HtmlPageSettings& settings) override;

    // MessageBoxes.
    void Show(MessageBoxKind kind, const std::string& text) override;

private:
    bool OnGuiThread() const;
    MailText Converted(const std::vector<std::string>& lines) const;
    // Runs job on the GUI thread: at once there, else queued.
    template <typename Job>
    void Post(Job job) const;
    // Runs job on the GUI thread and waits for it.
    template <typename Job>
    void RunAndWait(Job job) const;

    QObject& context_;
    MailViewWidgets& widgets_;
    MessageBoxes& boxes_;
    mutable std::mutex mutex_;
    mutable std::condition_variable answered_;
    std::atomic<bool> abandoned_{false};
    bool boxesHeld_ = false;
    mutable std::vector<std::function<void()>> heldBoxes_;
};

}  // namespace view::qt
