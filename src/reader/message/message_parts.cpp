#include "reader/message/message_parts.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "reader/exceptions.h"
#include "reader/headers/header_text.h"
#include "reader/message/message.h"

namespace fs = std::filesystem;

namespace {

constexpr char kPathDelimiter = '/';

// Any directory entry counts, a dangling symbolic link included: the name
// is meant for a file of our own.
bool NameTaken(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// A plain stat, no path object.
bool FolderExists(const std::string& folder) {
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string TempFilePrefix(std::string_view folder) {
    std::string dir(folder.empty() ? std::string_view(DefaultTempDirectory()) : folder);
    if (!dir.empty() && FolderExists(dir)) {
        if (dir.back() != kPathDelimiter) dir += kPathDelimiter;
        return dir + "kqv";
    }
    return "kqv";
}

std::string TempFileName(const std::string& prefix, std::uint32_t counter) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string name = prefix;
    for (int shift = 28; shift >= 0; shift -= 4) name += kHex[(counter >> shift) & 0xF];
    name += ".tmp";
    return name;
}

// The names from start up to found were taken at the last search; found was
// then free. Many attachments made within one tick would otherwise each
// probe every name the earlier ones took: quadratic in the number of parts.
// Any removal of a file of ours may free a name in the range and voids it.
struct TempNameSearch {
    std::mutex lock;
    std::string prefix;
    std::uint32_t start = 0;
    std::uint32_t found = 0;
    std::uint64_t removals = 0;
    std::uint64_t removalsAtSearch = ~std::uint64_t{0};
};

TempNameSearch& LastTempNameSearch() {
    static TempNameSearch search;
    return search;
}

// Where a search from counter may begin: past the names the last search
// found taken. Tells the start of the range to record afterwards and the
// removals seen, so that a removal during the search voids the record.
struct TempNameSearchStart {
    std::uint32_t start;
    std::uint64_t removals;
};

TempNameSearchStart ResumeTempNameSearch(TempNameSearch& last, const std::string& prefix, std::uint32_t& counter) {
    std::uint32_t start = counter;
    // Unsigned arithmetic: the range may wrap around like the counter does.
    if (last.removalsAtSearch == last.removals && last.prefix == prefix &&
        counter - last.start <= last.found - last.start) {
        start = last.start;
        counter = last.found;
    }
    return {start, last.removals};
}

void RecordTempNameSearch(TempNameSearch& last, const std::string& prefix, TempNameSearchStart from,
                          std::uint32_t found) {
    last.prefix = prefix;
    last.start = from.start;
    last.found = found;
    last.removalsAtSearch = from.removals;
}

// First free name from counter on; counter is left at that name.
std::string FirstFreeTempName(const std::string& prefix, std::uint32_t& counter) {
    TempNameSearch& last = LastTempNameSearch();
    std::lock_guard<std::mutex> guard(last.lock);
    const TempNameSearchStart from = ResumeTempNameSearch(last, prefix, counter);
    std::string name = TempFileName(prefix, counter);
    while (NameTaken(name)) name = TempFileName(prefix, ++counter);
    RecordTempNameSearch(last, prefix, from, counter);
    return name;
}

// Creates the first free temporary file from counter on. The exclusive
// creation itself tells whether a name is taken (any entry, a dangling link
// included), so no name is looked up first; the created one counts as taken
// for the next search.
std::unique_ptr<TFileStream> CreateFirstFreeTempFile(const std::string& prefix, std::uint32_t counter) {
    TempNameSearch& last = LastTempNameSearch();
    TempNameSearchStart from{};
    {
        // Not held while creating: other loads may search meanwhile; the
        // exclusive creation keeps the names apart.
        std::lock_guard<std::mutex> guard(last.lock);
        from = ResumeTempNameSearch(last, prefix, counter);
    }
    for (;;) {
        const std::string name = TempFileName(prefix, counter);
        int err = 0;
        std::unique_ptr<TFileStream> file = TFileStream::TryCreateExclusive(name, err);
        if (file) {
            std::lock_guard<std::mutex> guard(last.lock);
            RecordTempNameSearch(last, prefix, from, counter + 1);
            return file;
        }
        if (err != EEXIST) throw EFCreateError("Cannot create file \"" + name + "\". " + std::strerror(err));
        ++counter;
    }
}

// An attachment's file with its observer told of every write.
class ObservedStream final : public TStream {
public:
    ObservedStream(TStream& target, TIdAttachmentWriteObserver& observer, const TIdAttachment& attachment)
        : target_(target), observer_(observer), attachment_(attachment) {}

    std::size_t Read(void* buffer, std::size_t n) override { return target_.Read(buffer, n); }
    void Write(const void* buffer, std::size_t n) override {
        target_.Write(buffer, n);
        observer_.Written(attachment_, buffer, n);
    }
    std::int64_t Position() const override { return target_.Position(); }
    std::int64_t Size() const override { return target_.Size(); }
    void Seek(std::int64_t position) override { target_.Seek(position); }

private:
    TStream& target_;
    TIdAttachmentWriteObserver& observer_;
    const TIdAttachment& attachment_;
};

void RemoveQuietly(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
    TempNameSearch& last = LastTempNameSearch();
    std::lock_guard<std::mutex> guard(last.lock);
    ++last.removals;
}

}  // namespace

// ---------------------------------------------------------------------------
// TIdMessagePart

TIdMessagePart::TIdMessagePart(TIdMessageParts* collection) : collection_(collection) {
    throw EIdCanNotCreateMessagePart("TIdMessagePart can not be created.  Use descendant classes. ");
}

TIdMessagePart::TIdMessagePart(TIdMessageParts* collection, DescendantTag) : collection_(collection) {}

TIdMessage* TIdMessagePart::OwnerMessage() const { return collection_ ? collection_->Owner() : nullptr; }

std::string TIdMessagePart::HeaderContentType() const { return Headers.ValueOf("Content-Type"); }

std::string TIdMessagePart::HeaderTransferEncoding() const { return Headers.ValueOf("Content-Transfer-Encoding"); }

void TIdMessagePart::SetHeaderContentType(std::string_view value) { Headers.PutValue("Content-Type", value); }

void TIdMessagePart::SetHeaderTransferEncoding(std::string_view value) {
    Headers.PutValue("Content-Transfer-Encoding", value);
}

std::string TIdMessagePart::ContentID() const { return Headers.ValueOf("Content-ID"); }
std::string TIdMessagePart::ContentLocation() const { return Headers.ValueOf("Content-Location"); }
std::string TIdMessagePart::ContentDescription() const { return Headers.ValueOf("Content-Description"); }
void TIdMessagePart::SetContentID(std::string_view value) { Headers.PutValue("Content-ID", value); }
void TIdMessagePart::SetContentDescription(std::string_view value) { Headers.PutValue("Content-Description", value); }
void TIdMessagePart::SetContentLocation(std::string_view value) { Headers.PutValue("Content-Location", value); }

std::string TIdMessagePart::EffectiveContentType(std::string_view value) const {
    if (!value.empty()) return Trim(value.substr(0, value.find(';')));
    const TIdMessage* message = OwnerMessage();
    if (message == nullptr || message->Encoding() != TIdMessageEncoding::meMIME) return {};
    std::string parentType;
    // A parent index that is not (or no longer) in the collection reads as
    // the top level instead of failing the load.
    if (ParentPart >= 0 && ParentPart < collection_->Count())
        parentType = collection_->Items(ParentPart).Headers.ValueOf("Content-Type");
    return platform::StartsTextLocale(parentType, "multipart/digest") ? "message/rfc822" : "text/plain";
}

// ---------------------------------------------------------------------------
// TIdText

TIdText::TIdText(TIdMessageParts* collection, const TStringList* body)
    : TIdMessagePart(collection, DescendantTag{}) {
    if (body != nullptr) Body.Assign(*body);
}

std::string TIdText::HeaderContentType() const { return HeaderMainValue(TIdMessagePart::HeaderContentType()); }

void TIdText::SetHeaderContentType(std::string_view value) {
    const std::string charset = HeaderParamValue(Headers.ValueOf("Content-Type"), "CHARSET=");
    Headers.PutValue("Content-Type", std::string(value) + "; CHARSET=\"" + charset + "\"");
}

void TIdText::SetCharSetHeader(std::string_view charset) {
    Headers.PutValue("Content-Type", HeaderContentType() + "; CHARSET=\"" + std::string(charset) + "\"");
}

// ---------------------------------------------------------------------------
// TIdAttachment

TIdAttachment::TIdAttachment(TIdMessageParts* collection) : TIdMessagePart(collection, DescendantTag{}) {}

std::string TIdAttachment::HeaderContentType() const {
    return HeaderMainValue(TIdMessagePart::HeaderContentType());
}

std::string TIdAttachment::ContentDisposition() const {
    return HeaderMainValue(Headers.ValueOf("Content-Disposition"));
}

void TIdAttachment::SetContentDisposition(std::string_view value) { Headers.PutValue("Content-Disposition", value); }

std::string TIdAttachment::ContentTypeName() const {
    return HeaderParamValue(Headers.ValueOf("Content-Type"), "NAME=");
}

void TIdAttachment::LoadFromFile(const std::string& path) {
    TIdReadFileExclusiveStream source(path);
    LoadFromStream(source);
}

void TIdAttachment::LoadFromStream(TStream& source) {
    TStream& target = OpenWriteTarget();
    try {
        target.CopyFrom(source);
    } catch (...) {
        CloseWriteTarget();
        throw;
    }
    CloseWriteTarget();
}

void TIdAttachment::CopyToFile(const std::string& destination) {
    TFileStream target(destination, TFileStream::Mode::CreateTruncate);
    CopyToStream(target);
    target.Close();
}

void TIdAttachment::CopyToStream(TStream& target) {
    TStream& source = OpenReadSource();
    try {
        target.CopyFrom(source);
    } catch (...) {
        CloseReadSource();
        throw;
    }
    CloseReadSource();
}

// ---------------------------------------------------------------------------
// TIdAttachmentFile

TIdAttachmentFile::TIdAttachmentFile(TIdMessageParts* collection, const std::string& path)
    : TIdAttachment(collection), TempPath(path) {
    const auto slash = path.find_last_of(kPathDelimiter);
    AttachedFileName = slash == std::string::npos ? path : path.substr(slash + 1);
}

TIdAttachmentFile::~TIdAttachmentFile() {
    observedTarget_.reset();
    stream_.reset();  // TFileStream's destructor swallows a failing flush
    if (OwnsTempFile && !createdPath_.empty()) RemoveQuietly(createdPath_);
}

TStream& TIdAttachmentFile::OpenWriteTarget() {
    const TIdMessage* message = OwnerMessage();
    observedTarget_.reset();
    stream_.reset();
    std::unique_ptr<TFileStream> file;
    if (message != nullptr && message->AttachmentFilePlacer != nullptr)
        file = message->AttachmentFilePlacer->CreateFile(*this);
    if (!file) {
        const std::string_view folder = message ? std::string_view(message->AttachmentTempDirectory()) : "";
        const std::string prefix =
            Collection() ? Collection()->TempFilePrefixFor(folder) : TempFilePrefix(folder);
        // The creation is exclusive and never follows a link: another process
        // may hold a name or plant a link there; a name taken just moves the
        // search on.
        file = CreateFirstFreeTempFile(prefix, platform::TickCount());
    }
    if (OwnsTempFile && !createdPath_.empty()) RemoveQuietly(createdPath_);
    stream_ = std::move(file);
    TempPath = stream_->Path();
    createdPath_ = TempPath;
    OwnsTempFile = true;
    if (message != nullptr && message->AttachmentWriteObserver != nullptr) {
        message->AttachmentWriteObserver->WriteStarted(*this);
        observedTarget_ = std::make_unique<ObservedStream>(*stream_, *message->AttachmentWriteObserver, *this);
        return *observedTarget_;
    }
    return *stream_;
}

void TIdAttachmentFile::CloseWriteTarget() {
    observedTarget_.reset();
    if (stream_) {
        std::unique_ptr<TFileStream> stream = std::move(stream_);
        stream->Close();
    }
    // A virus scanner or the like may remove the file as soon as it is closed.
    Blocked = !NameTaken(TempPath);
    if (!Blocked) return;
    const TIdMessage* message = OwnerMessage();
    if (message == nullptr || message->ExceptionOnBlockedAttachments)
        throw EIdMessageCannotLoad("Attachment " + TempPath + " is blocked.");
}

TStream& TIdAttachmentFile::OpenReadSource() {
    observedTarget_.reset();
    stream_.reset();
    stream_ = std::make_unique<TIdReadFileExclusiveStream>(TempPath);
    return *stream_;
}

void TIdAttachmentFile::CloseReadSource() { stream_.reset(); }

void TIdAttachmentFile::CopyToFile(const std::string& destination) {
    static constexpr const char* kSaveError = "Error saving attachment.";
    int err = 0;
    // Exclusive creation: an existing destination (or a link planted there)
    // fails the copy and stays as it was.
    std::unique_ptr<TFileStream> target = TFileStream::TryCreateExclusive(destination, err);
    if (!target) throw EIdException(kSaveError);
    try {
        TIdReadFileExclusiveStream source(TempPath);
        target->CopyFrom(source);
        target->Close();
    } catch (const std::exception&) {
        target.reset();
        RemoveQuietly(destination);  // ours: created above
        throw EIdException(kSaveError);
    }
}

// ---------------------------------------------------------------------------
// TIdAttachmentMemory

TIdAttachmentMemory::TIdAttachmentMemory(TIdMessageParts* collection) : TIdAttachment(collection) {}

TStream& TIdAttachmentMemory::OpenReadSource() {
    savedPosition_ = DataStream.Position();
    DataStream.Seek(0);
    return DataStream;
}

void TIdAttachmentMemory::CloseReadSource() { DataStream.Seek(savedPosition_); }

TStream& TIdAttachmentMemory::OpenWriteTarget() {
    DataStream.Clear();
    return DataStream;
}

void TIdAttachmentMemory::CloseWriteTarget() { DataStream.Seek(0); }

// ---------------------------------------------------------------------------
// TIdMessageParts

int TIdMessageParts::IndexOf(const TIdMessagePart& part) const {
    for (std::size_t i = 0; i < parts_.size(); ++i)
        if (parts_[i].get() == &part) return static_cast<int>(i);
    return -1;
}

TIdMessagePart& TIdMessageParts::Adopt(std::unique_ptr<TIdMessagePart> part) {
    if (!part || part->Collection() != this)
        throw EIdException("A message part can only join the collection it was made for.");
    TIdMessagePart& ref = *part;
    parts_.push_back(std::move(part));
    return ref;
}

void TIdMessageParts::Delete(int index) {
    if (index < 0 || index >= Count()) throw std::out_of_range("TIdMessageParts index out of range");
    parts_.erase(parts_.begin() + index);
}

void TIdMessageParts::Clear() {
    parts_.clear();
    tempPrefixKnown_ = false;
}

const std::string& TIdMessageParts::TempFilePrefixFor(std::string_view folder) {
    if (!tempPrefixKnown_ || folder != tempFolder_) {
        tempPrefix_ = TempFilePrefix(folder);
        tempFolder_.assign(folder);
        tempPrefixKnown_ = true;
    }
    return tempPrefix_;
}

// ---------------------------------------------------------------------------

std::string MakeTempFileName(std::string_view folder) {
    std::uint32_t counter = platform::TickCount();
    return FirstFreeTempName(TempFilePrefix(folder), counter);
}

const std::string& DefaultTempDirectory() {
    static const std::string dir = [] {
        const char* env = std::getenv("TMPDIR");
        std::string d = (env != nullptr && *env != '\0') ? env : "/tmp";
        if (d.back() != kPathDelimiter) d += kPathDelimiter;
        return d;
    }();
    return dir;
}
