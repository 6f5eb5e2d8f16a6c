#pragma once
// The parts of a message: text parts and attachments.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "reader/headers/header_list.h"
#include "reader/io/stream.h"
#include "reader/line_store.h"
#include "reader/string_list.h"

class TIdMessage;
class TIdMessageParts;

class TIdMessagePart {
public:
    // The base itself cannot be made; descendants use the protected form.
    explicit TIdMessagePart(TIdMessageParts* collection);
    virtual ~TIdMessagePart() = default;
    TIdMessagePart(const TIdMessagePart&) = delete;
    TIdMessagePart& operator=(const TIdMessagePart&) = delete;

    std::string ContentTransfer;
    std::string ContentType;
    std::string CharSet;
    TIdHeaderList ExtraHeaders;
    TIdHeaderList Headers;
    int ParentPart = -1;

    TIdMessageParts* Collection() const { return collection_; }
    // The message that owns the collection, if any.
    TIdMessage* OwnerMessage() const;

    virtual std::string HeaderContentType() const;
    virtual std::string HeaderTransferEncoding() const;
    virtual void SetHeaderContentType(std::string_view value);
    virtual void SetHeaderTransferEncoding(std::string_view value);
    std::string ContentID() const;
    std::string ContentLocation() const;
    std::string ContentDescription() const;
    void SetContentID(std::string_view value);
    void SetContentDescription(std::string_view value);
    void SetContentLocation(std::string_view value);
    virtual int PartRole() const { return 1; }

    std::string EffectiveContentType(std::string_view value) const;

protected:
    struct DescendantTag {};
    TIdMessagePart(TIdMessageParts* collection, DescendantTag);

private:
    TIdMessageParts* collection_;
};

class TIdText final : public TIdMessagePart {
public:
    explicit TIdText(TIdMessageParts* collection, const TStringList* body = nullptr);

    TLineStore Body;

    std::string HeaderContentType() const override;
    void SetHeaderContentType(std::string_view value) override;
    int PartRole() const override { return 0; }
    void SetCharSetHeader(std::string_view charset);  // rewrites the Content-Type line
};

class TIdAttachment : public TIdMessagePart {
public:
    std::string AttachedFileName;

    std::string HeaderContentType() const override;
    std::string ContentDisposition() const;
    void SetContentDisposition(std::string_view value);
    std::string ContentTypeName() const;

    virtual TStream& OpenReadSource() = 0;
    virtual void CloseReadSource() = 0;
    virtual TStream& OpenWriteTarget() = 0;
    virtual void CloseWriteTarget() = 0;

    // Fill the attachment: OpenWriteTarget, copy, CloseWriteTarget.
    void LoadFromFile(const std::string& path);
    void LoadFromStream(TStream& source);
    virtual void CopyToFile(const std::string& destination);
    void CopyToStream(TStream& target);

protected:
    explicit TIdAttachment(TIdMessageParts* collection);
};

// Sees the decoded bytes of attachment files as they are written, so that a
// caller can digest attachments without reading the files back.
class TIdAttachmentWriteObserver {
public:
    virtual ~TIdAttachmentWriteObserver() = default;
    // The attachment's file was (re)created empty.
    virtual void WriteStarted(const TIdAttachment& attachment) = 0;
    virtual void Written(const TIdAttachment& attachment, const void* bytes, std::size_t n) = 0;
};

class TIdAttachmentFile;

// Makes the files of attachments somewhere else than the temporary folder:
// kqv-dump makes them where it saves them.
class TIdAttachmentFilePlacer {
public:
    virtual ~TIdAttachmentFilePlacer() = default;
    // A new, empty file for attachment (its AttachedFileName is set), or
    // nullptr for one in the temporary folder.
    virtual std::unique_ptr<TFileStream> CreateFile(const TIdAttachmentFile& attachment) = 0;
};

class TIdAttachmentFile final : public TIdAttachment {
public:
    TIdAttachmentFile(TIdMessageParts* collection, const std::string& path = "");
    ~TIdAttachmentFile() override;

    std::string TempPath;
    bool OwnsTempFile = false;
    bool Blocked = false;

    TStream& OpenReadSource() override;
    void CloseReadSource() override;
    TStream& OpenWriteTarget() override;
    void CloseWriteTarget() override;
    void CopyToFile(const std::string& destination) override;

private:
    std::unique_ptr<TFileStream> stream_;
    // stream_ as the owner message's observer sees it, while writing.
    std::unique_ptr<TStream> observedTarget_;
    // The file OpenWriteTarget created; the only one the destructor removes.
    std::string createdPath_;
};

class TIdAttachmentMemory final : public TIdAttachment {
public:
    explicit TIdAttachmentMemory(TIdMessageParts* collection);

    TMemoryStream DataStream;

    TStream& OpenReadSource() override;
    void CloseReadSource() override;
    TStream& OpenWriteTarget() override;
    void CloseWriteTarget() override;

private:
    std::int64_t savedPosition_ = 0;
};

// The parts in creation order (= order in the file), indices from 0.
class TIdMessageParts {
public:
    explicit TIdMessageParts(TIdMessage* owner) : owner_(owner) {}

    TIdMessage* Owner() const { return owner_; }
    std::string AttachmentEncoding = "MIME";

    int Count() const { return static_cast<int>(parts_.size()); }
    TIdMessagePart& Items(int index) { return *parts_.at(static_cast<std::size_t>(index)); }
    const TIdMessagePart& Items(int index) const { return *parts_.at(static_cast<std::size_t>(index)); }
    int IndexOf(const TIdMessagePart& part) const;

    template <class T, class... Args>
    T& Add(Args&&... args) {
        auto part = std::make_unique<T>(this, std::forward<Args>(args)...);
        T& ref = *part;
        parts_.push_back(std::move(part));
        return ref;
    }
    // Takes ownership of a part made for this collection.
    TIdMessagePart& Adopt(std::unique_ptr<TIdMessagePart> part);
    // Frees the part (an attachment file part deletes its temporary file).
    void Delete(int index);
    void Clear();

    // Where the temporary files of attachments go for folder: the folder is
    // looked at once until the collection is cleared (once per load), not
    // once per attachment.
    const std::string& TempFilePrefixFor(std::string_view folder);

private:
    TIdMessage* owner_;
    std::vector<std::unique_ptr<TIdMessagePart>> parts_;
    std::string tempFolder_;
    std::string tempPrefix_;
    bool tempPrefixKnown_ = false;
};

// A fresh temporary file name in folder (the system's temporary folder when
// empty): "kqv" + 8 upper-case hexadecimal digits + ".tmp".
std::string MakeTempFileName(std::string_view folder);
// The system's temporary folder with a trailing separator, fetched once.
const std::string& DefaultTempDirectory();
