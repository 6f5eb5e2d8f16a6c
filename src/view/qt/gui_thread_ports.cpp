#include "view/qt/gui_thread_ports.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <memory>

#include "view/qt/qt_text.h"

namespace view::qt {

GuiThreadPorts::GuiThreadPorts(QObject& context, MailViewWidgets& widgets, MessageBoxes& boxes)
    : context_(context), widgets_(widgets), boxes_(boxes) {}

void GuiThreadPorts::Renew() { abandoned_ = false; }

void GuiThreadPorts::Abandon() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        abandoned_ = true;
    }
    answered_.notify_all();
}

void GuiThreadPorts::Checkpoint() const {
    if (abandoned_) throw LoadAbandoned{};
}

void GuiThreadPorts::HoldBoxes() {
    std::lock_guard<std::mutex> guard(mutex_);
    boxesHeld_ = true;
}

void GuiThreadPorts::ReleaseBoxes() {
    std::vector<std::function<void()>> held;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        boxesHeld_ = false;
        held.swap(heldBoxes_);
    }
    for (std::function<void()>& box : held) QMetaObject::invokeMethod(&context_, std::move(box), Qt::QueuedConnection);
}

bool GuiThreadPorts::OnGuiThread() const { return QThread::currentThread() == context_.thread(); }

template <typename Job>
void GuiThreadPorts::Post(Job job) const {
    if (OnGuiThread()) {
        job();
        return;
    }
    Checkpoint();
    // Held by pointer: the job may carry a whole mail's text.
    auto held = std::make_shared<Job>(std::move(job));
    QMetaObject::invokeMethod(&context_, [held] { (*held)(); }, Qt::QueuedConnection);
}

template <typename Job>
void GuiThreadPorts::RunAndWait(Job job) const {
    if (OnGuiThread()) {
        job();
        return;
    }
    Checkpoint();
    auto done = std::make_shared<bool>(false);
    std::function<void()> run = [this, job = std::move(job), done] {
        if (!abandoned_) job();
        {
            std::lock_guard<std::mutex> guard(mutex_);
            *done = true;
        }
        answered_.notify_all();
    };
    std::unique_lock<std::mutex> lock(mutex_);
    if (boxesHeld_)
        heldBoxes_.push_back(std::move(run));
    else
        QMetaObject::invokeMethod(&context_, std::move(run), Qt::QueuedConnection);
    answered_.wait(lock, [&] { return *done || abandoned_; });
    if (!*done) throw LoadAbandoned{};
}

void GuiThreadPorts::ShowHeaderSummary(const std::vector<std::string>& labels,
                                       const std::vector<std::string>& values) {
    Post([this, labels = Utf8LinesToQString(labels), values = Utf8LinesToQString(values)] {
        widgets_.SetHeaderSummary(labels, values);
    });
}

void GuiThreadPorts::ShowSubjectLine(const std::string& text) {
    Post([this, text = Utf8ToQString(text)] { widgets_.SetSubjectLine(text); });
}

void GuiThreadPorts::ShowMessageText(const JoinedText& text) {
    // Cut into pieces here, off the window's thread; the text itself is shared.
    Post([this, shown = MailText(text.Share())]() mutable { widgets_.SetMessageText(std::move(shown)); });
}

void GuiThreadPorts::ShowRawHeader(const std::vector<std::string>& lines) {
    Post([this, text = Converted(lines)]() mutable { widgets_.SetRawHeader(std::move(text)); });
}

MailText GuiThreadPorts::Converted(const std::vector<std::string>& lines) const {
    if (OnGuiThread()) return Utf8LinesToMailText(lines);
    // A whole mail's text takes a while: an abandoned one stops early.
    return Utf8LinesToMailText(lines, [this] { Checkpoint(); });
}

void GuiThreadPorts::ShowAttachmentList(const std::vector<std::string>& lines) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines) list << Utf8ToQString(line);
    Post([this, list = std::move(list)] { widgets_.SetAttachmentList(list); });
}

int GuiThreadPorts::SelectedAttachment() const {
    int selected = -1;
    RunAndWait([this, &selected] { selected = widgets_.SelectedAttachment(); });
    return selected;
}

void GuiThreadPorts::SetPageVisible(Page page, bool visible) {
    Post([this, page, visible] { widgets_.SetPageVisible(page, visible); });
}

void GuiThreadPorts::BringToFront(Page page) {
    Post([this, page] { widgets_.BringToFront(page); });
}

void GuiThreadPorts::Stop() {
    Post([this] { widgets_.StopPage(); });
}

void GuiThreadPorts::Navigate(const std::string& target, const HtmlPageSettings& settings) {
    Post([this, target, settings] { widgets_.ShowPage(target, settings); });
}

void GuiThreadPorts::Show(MessageBoxKind kind, const std::string& text) {
    RunAndWait([this, kind, text] { boxes_.Show(kind, text); });
}

}  // namespace view::qt
