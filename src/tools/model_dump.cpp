#include "tools/model_dump.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/clock.h"
#include "reader/message/message.h"
#include "tools/attachment_digests.h"
#include "tools/attachment_saver.h"
#include "tools/json_output.h"
#include "tools/sha256_digest.h"

namespace {

constexpr std::size_t kChunkSize = 64 * 1024;

const char* EncodingName(TIdMessageEncoding encoding) {
    switch (encoding) {
        case TIdMessageEncoding::meMIME: return "meMIME";
        case TIdMessageEncoding::mePlainText: return "mePlainText";
        case TIdMessageEncoding::meDefault: break;
    }
    return "meDefault";
}

void Report(const std::string& text) { std::fprintf(stderr, "kqv-dump: %s\n", text.c_str()); }

void WriteAddress(JsonWriter& writer, const TIdEMailAddressItem& item) {
    writer.StartObject();
    writer.Key("name");
    WriteLocalString(writer, item.Name);
    writer.Key("address");
    WriteLocalString(writer, item.Address);
    writer.EndObject();
}

void WriteAddressList(JsonWriter& writer, const TIdEMailAddressList& list) {
    writer.StartArray();
    for (int i = 0; i < list.Count(); ++i) WriteAddress(writer, list.Items(i));
    writer.EndArray();
}

class ModelWriter {
public:
    // saveFolder empty: attachments are not copied. digests: what the load
    // wrote into attachment files; the others are read back.
    ModelWriter(JsonWriter& writer, std::string saveFolder, AttachmentDigests& digests,
                const SaveFolderPlacer* placer)
        : writer_(writer), saveFolder_(std::move(saveFolder)), digests_(digests), placer_(placer) {}

    // fileMember: the mail's file as the object's first member, if given.
    void Write(TIdMessage& message, const std::vector<std::string>& notices, const std::optional<std::string>& error,
               const std::string* fileMember);
    // A copy or read of an attachment went wrong (already reported on stderr).
    bool AttachmentFailed() const { return attachmentFailed_; }
    // Saved files that are second names of the reader's temporary files.
    std::vector<std::string> TakeLinkedFiles() { return std::move(linked_); }

private:
    struct Content {
        std::uint64_t size = 0;
        std::string sha256;
    };

    // A file saved without a copy: moved, or linked to a temporary file.
    struct SavedName {
        std::string path;
        bool linked = false;
    };

    void WritePart(TIdMessagePart& part, int index);
    Content ReadAttachment(TIdAttachment& attachment, int index, bool blocked);
    // Moves or links the attachment into the save folder, or opens its copy there.
    void StartSaving(TIdAttachment& attachment, int index, SavedName& saved,
                     std::unique_ptr<SavedAttachmentFile>& copy);
    void Fail(const std::string& text) {
        Report(text);
        attachmentFailed_ = true;
    }

    JsonWriter& writer_;
    std::string saveFolder_;
    AttachmentDigests& digests_;
    // Made the attachment files of the load in the save folder, if set.
    const SaveFolderPlacer* placer_;
    std::vector<std::string> saved_;
    std::vector<std::string> linked_;  // saved under a second name of a temporary file
    std::unique_ptr<char[]> buffer_;   // for reading attachments, made on first use
    bool attachmentFailed_ = false;
};

void ModelWriter::Write(TIdMessage& message, const std::vector<std::string>& notices,
                        const std::optional<std::string>& error, const std::string* fileMember) {
    JsonWriter& w = writer_;
    w.StartObject();
    if (fileMember != nullptr) {
        w.Key("file");
        WriteUtf8String(w, *fileMember);
    }
    w.Key("headers");
    WriteLocalLines(w, message.Headers);
    w.Key("subject");
    WriteLocalString(w, message.Subject);
    // FromList directly: reading From would add an empty item.
    w.Key("from");
    WriteAddressList(w, message.FromList);
    w.Key("to");
    WriteAddressList(w, message.Recipients);
    w.Key("cc");
    WriteAddressList(w, message.CCList);
    w.Key("bcc");
    WriteAddressList(w, message.BccList);
    w.Key("reply_to");
    WriteAddressList(w, message.ReplyTo);
    w.Key("sender");
    WriteAddress(w, message.Sender);
    w.Key("receipt_recipient");
    WriteAddress(w, message.ReceiptRecipient);
    w.Key("content_type");
    WriteLocalString(w, message.ContentType);
    w.Key("charset");
    WriteLocalString(w, message.CharSet);
    w.Key("content_transfer_encoding");
    WriteLocalString(w, message.ContentTransferEncoding);
    w.Key("content_disposition");
    WriteLocalString(w, message.ContentDisposition);
    w.Key("message_id");
    WriteLocalString(w, message.MessageId());
    w.Key("references");
    WriteLocalString(w, message.References);
    w.Key("organization");
    WriteLocalString(w, message.Organization);
    w.Key("newsgroups");
    WriteLocalLines(w, message.NewsGroups);
    w.Key("date");
    w.String(platform::FormatIsoDateTime(message.Date).c_str());
    w.Key("date_value");
    if (std::isfinite(message.Date))
        w.Double(message.Date);
    else
        w.Null();  // JSON has no NaN; no parsed date comes out like this
    w.Key("priority");
    w.Int(static_cast<int>(message.Priority));
    w.Key("encoding");
    w.String(EncodingName(message.Encoding()));
    w.Key("attachment_encoding");
    WriteLocalString(w, message.AttachmentEncoding());
    w.Key("single_part_body");
    w.Bool(message.SinglePartBody);
    w.Key("body");
    WriteLocalLines(w, message.Body);

    w.Key("parts");
    w.StartArray();
    for (int i = 0; i < message.Parts.Count(); ++i) WritePart(message.Parts.Items(i), i);
    w.EndArray();

    w.Key("notices");
    w.StartArray();
    for (const std::string& notice : notices) WriteLocalString(w, notice);
    w.EndArray();

    if (!saveFolder_.empty()) {
        w.Key("saved");
        w.StartArray();
        for (const std::string& path : saved_) WriteUtf8String(w, path);
        w.EndArray();
    }
    if (error) {
        w.Key("error");
        WriteLocalString(w, *error);
    }
    w.EndObject();
}

void ModelWriter::WritePart(TIdMessagePart& part, int index) {
    JsonWriter& w = writer_;
    auto* text = dynamic_cast<TIdText*>(&part);
    auto* attachment = dynamic_cast<TIdAttachment*>(&part);

    w.StartObject();
    w.Key("index");
    w.Int(index);
    w.Key("kind");
    w.String(attachment ? "attachment" : "text");
    w.Key("content_type");
    WriteLocalString(w, part.ContentType);
    w.Key("charset");
    WriteLocalString(w, part.CharSet);
    w.Key("content_transfer");
    WriteLocalString(w, part.ContentTransfer);
    w.Key("content_id");
    WriteLocalString(w, part.ContentID());
    w.Key("content_disposition");
    WriteLocalString(w, attachment ? attachment->ContentDisposition() : std::string());
    w.Key("headers");
    WriteLocalLines(w, part.Headers);
    w.Key("extra_headers");
    WriteLocalLines(w, part.ExtraHeaders);
    w.Key("parent_part");
    w.Int(part.ParentPart);
    if (text) {
        w.Key("body");
        WriteLocalLines(w, text->Body);
    }
    if (attachment) {
        auto* file = dynamic_cast<TIdAttachmentFile*>(attachment);
        const bool blocked = file != nullptr && file->Blocked;
        const Content content = ReadAttachment(*attachment, index, blocked);
        w.Key("file_name");
        WriteLocalString(w, attachment->AttachedFileName);
        w.Key("size");
        w.Uint64(content.size);
        w.Key("sha256");
        w.String(content.sha256.c_str());
        w.Key("blocked");
        w.Bool(blocked);
    }
    w.EndObject();
}

void ModelWriter::StartSaving(TIdAttachment& attachment, int index, SavedName& saved,
                              std::unique_ptr<SavedAttachmentFile>& copy) {
    std::string error;
    // The reader's own temporary file holds exactly the decoded bytes: it
    // becomes the saved file without copying.
    auto* file = dynamic_cast<TIdAttachmentFile*>(&attachment);
    if (file != nullptr && file->OwnsTempFile && placer_ != nullptr && placer_->Placed(file->TempPath)) {
        // Made where it is saved: the message must not remove it.
        file->OwnsTempFile = false;
        saved = {file->TempPath, false};
        return;
    }
    if (file != nullptr && file->OwnsTempFile && !file->TempPath.empty()) {
        std::string path;
        switch (MoveSavedAttachment(saveFolder_, attachment.AttachedFileName, index, file->TempPath, path, error)) {
            case LinkOutcome::Moved:
                // The saved file is the attachment's file now; the message
                // must not remove it.
                file->TempPath = path;
                file->OwnsTempFile = false;
                MakeSavedFileReadable(path);
                saved = {std::move(path), false};
                return;
            case LinkOutcome::Linked: saved = {std::move(path), true}; return;
            case LinkOutcome::Failed: Fail(error); return;
            case LinkOutcome::CopyInstead: break;
        }
    }
    copy = SavedAttachmentFile::Create(saveFolder_, attachment.AttachedFileName, index, error);
    if (!copy) Fail(error);
}

ModelWriter::Content ModelWriter::ReadAttachment(TIdAttachment& attachment, int index, bool blocked) {
    Content content;
    if (blocked) {  // its temporary file was taken away: no content to read or copy
        content.sha256 = Sha256Digest().FinishHex();
        return content;
    }
    const bool known = digests_.Take(attachment, content.size, content.sha256);

    std::string error;
    SavedName saved;
    std::unique_ptr<SavedAttachmentFile> copy;
    if (!saveFolder_.empty()) StartSaving(attachment, index, saved, copy);

    bool readFailed = false;
    if (!known || copy) {
        Sha256Digest digest;
        std::uint64_t size = 0;
        bool opened = false;
        try {
            TStream& source = attachment.OpenReadSource();
            opened = true;
            if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kChunkSize);
            for (;;) {
                const std::size_t n = source.Read(buffer_.get(), kChunkSize);
                if (n == 0) break;
                if (!known) digest.Update(buffer_.get(), n);
                size += n;
                if (copy && !copy->Write(buffer_.get(), n, error)) {
                    Fail(error);
                    copy->Discard();
                    copy.reset();
                }
            }
            opened = false;
            attachment.CloseReadSource();
        } catch (const std::exception& e) {
            Fail("cannot read attachment " + std::to_string(index) + ": " + e.what());
            readFailed = true;
            if (opened) {
                try {
                    attachment.CloseReadSource();
                } catch (const std::exception&) {
                }
            }
            if (copy) {
                copy->Discard();
                copy.reset();
            }
        }
        if (!known) {
            content.size = size;
            content.sha256 = digest.FinishHex();
        }
    }

    if (!saved.path.empty()) {
        // Saved is only what could also be read.
        if (readFailed) {
            ::unlink(saved.path.c_str());
        } else {
            saved_.push_back(saved.path);
            if (saved.linked) linked_.push_back(std::move(saved.path));
        }
    }
    if (copy) {
        if (copy->Close(error)) {
            saved_.push_back(copy->Path());
        } else {
            Fail(error);
            copy->Discard();
        }
    }
    return content;
}

// Loads file and writes its model object and a line break to stream.
// Returns 0, or 1 when loading or saving an attachment failed.
int DumpModel(const std::string& file, const std::string& saveFolder, const std::string* fileMember,
              FdWriteStream& stream) {
    std::vector<std::string> notices;
    std::optional<std::string> error;
    bool attachmentFailed = false;
    std::vector<std::string> linked;
    {
        AttachmentDigests digests;
        SaveFolderPlacer placer(saveFolder, DefaultTempDirectory());
        // Freed at the end of this block, which deletes its temporary files.
        TIdMessage message;
        if (!saveFolder.empty()) message.AttachmentFilePlacer = &placer;
        message.ShowNotice = [&notices](const std::string& text) { notices.push_back(text); };
        message.AttachmentWriteObserver = &digests;
        try {
            message.LoadMessageFile(file);
        } catch (const std::exception& e) {
            error = e.what();
        } catch (...) {
            error = "unknown error";
        }
        JsonWriter writer(stream);
        ModelWriter model(writer, saveFolder, digests, &placer);
        model.Write(message, notices, error, fileMember);
        attachmentFailed = model.AttachmentFailed();
        linked = model.TakeLinkedFiles();
    }
    // The message has removed its temporary files: the saved names are the
    // only ones left.
    for (const std::string& path : linked) MakeSavedFileReadable(path);
    stream.Put('\n');
    return error || attachmentFailed ? 1 : 0;
}

int FinishOutput(FdWriteStream& stream, int status) {
    stream.Flush();
    if (stream.Failed()) {
        Report("cannot write the output");
        return 1;
    }
    return status;
}

}  // namespace

int RunModelMode(const DumpOptions& options, int out) {
    std::string saveFolder;
    if (!options.saveDir.empty()) {
        std::string error;
        if (!PrepareSaveFolder(options.saveDir, saveFolder, error)) {
            Report(error);
            return 2;
        }
    }
    FdWriteStream stream(out);
    if (!options.batch) return FinishOutput(stream, DumpModel(options.file, saveFolder, nullptr, stream));

    bool failed = false;
    for (std::size_t i = 0; i < options.files.size() && !stream.Failed(); ++i) {
        std::string mailFolder;
        if (!saveFolder.empty()) {
            // Each mail's attachments apart, in a folder named by its position.
            std::string error;
            const std::string folder = (saveFolder == "/" ? "" : saveFolder) + "/" + std::to_string(i + 1);
            if (!PrepareSaveFolder(folder, mailFolder, error)) {
                Report(error);
                failed = true;
                mailFolder = folder;  // every copy fails and says so
            }
        }
        const std::string& file = options.files[i];
        if (DumpModel(file, mailFolder, &file, stream) != 0) failed = true;
    }
    return FinishOutput(stream, failed ? 1 : 0);
}
