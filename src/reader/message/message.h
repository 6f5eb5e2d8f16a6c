#pragma once
// The in-memory form of one mail.

#include <functional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "reader/decoding/mime_boundary.h"
#include "reader/headers/email_address.h"
#include "reader/headers/header_list.h"
#include "reader/io/stream.h"
#include "reader/message/message_parts.h"
#include "reader/string_list.h"

// Values outside 0..4 are kept as read (a priority of 9 gives 8).
enum TIdMessagePriority : int { mpHighest = 0, mpHigh = 1, mpNormal = 2, mpLow = 3, mpLowest = 4 };
enum class TIdMessageEncoding { meDefault = 0, meMIME = 1, mePlainText = 2 };

class TIdMessage {
public:
    TIdMessage();
    virtual ~TIdMessage();
    TIdMessage(const TIdMessage&) = delete;
    TIdMessage& operator=(const TIdMessage&) = delete;

    // Published properties.
    const std::string& AttachmentEncoding() const { return Parts.AttachmentEncoding; }
    void SetAttachmentEncoding(std::string_view value) { Parts.AttachmentEncoding = std::string(value); }
    TLineStore Body;
    TIdEMailAddressList BccList;
    std::string CharSet;
    TIdEMailAddressList CCList;
    std::string ContentType;
    std::string ContentTransferEncoding;
    std::string ContentDisposition;
    platform::TDateTime Date = 0;
    TIdMessageEncoding Encoding() const { return encoding_; }
    void SetEncoding(TIdMessageEncoding value);
    TIdHeaderList ExtraHeaders;
    TIdEMailAddressList FromList;
    // Reading From of a message without sender adds an empty item.
    TIdEMailAddressItem& From();
    void SetFrom(const TIdEMailAddressItem& item);
    TStringList NewsGroups;
    bool NoEncode = false;
    bool NoDecode = false;
    std::string Organization;
    TIdMessagePriority Priority = mpNormal;
    TIdEMailAddressItem ReceiptRecipient;
    TIdEMailAddressList Recipients;
    std::string References;
    const std::string& InReplyTo() const { return inReplyTo_; }
    void SetInReplyTo(std::string_view value);
    TIdEMailAddressList ReplyTo;
    std::string Subject;
    TIdEMailAddressItem Sender;
    bool UseNowForDate() const { return Date == 0; }
    void SetUseNowForDate(bool value);
    TIdHeaderList LastGeneratedHeaders;
    bool ConvertPreamble = true;
    bool ExceptionOnBlockedAttachments = false;
    const std::string& AttachmentTempDirectory() const { return attachmentTempDirectory_; }
    void SetAttachmentTempDirectory(std::string_view value);
    std::function<void(TIdMessage&, const TStringList&, TIdAttachment*&)> OnCreateAttachment;
    // Not owned; must outlive the load.
    TIdAttachmentWriteObserver* AttachmentWriteObserver = nullptr;
    // Not owned; must outlive the message.
    TIdAttachmentFilePlacer* AttachmentFilePlacer = nullptr;
    // Where the header reader's German notices go (a message box in the
    // viewer, the JSON of kqv-dump). Unset: the notice is dropped.
    std::function<void(const std::string&)> ShowNotice;
    // Called before every read from the mail file or stream of a load;
    // raising from it abandons the load (a window closing while a large
    // mail is read). Unset: nothing is called.
    std::function<void()> BeforeRead;

    // Further fields.
    TIdHeaderList Headers;
    TIdMessageParts Parts;
    TIdMIMEBoundary BoundaryStack;
    const std::string& MessageId() const { return messageId_; }
    void SetMessageId(std::string_view value);
    bool SinglePartBody = false;
    // Mailbox status flags and unique id; only the reset touches them here.
    unsigned Flags = 0;
    std::string UID;
    // Sending only: whether Bcc goes into the generated header.
    bool GenerateBCCListInHeader = false;

    virtual void ResetMessage();
    void ResetHeaderFields();
    void ResetBody();
    void InterpretHeaders();
    virtual TIdAttachment& CreateAttachmentPart(const TStringList& headerLines);

    void LoadMessageFile(const std::string& path, bool headersOnly = false);
    void LoadMessageStream(TStream& stream, bool headersOnly = false);

    void Notice(const std::string& text) const {
        if (ShowNotice) ShowNotice(text);
    }

private:
    TIdMessageEncoding encoding_ = TIdMessageEncoding::meDefault;
    std::string inReplyTo_;
    std::string messageId_;
    std::string attachmentTempDirectory_;
};
