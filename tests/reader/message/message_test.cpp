#include "reader/message/message.h"

#include <gtest/gtest.h>

#include "support/scoped_time_zone.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "reader/exceptions.h"

namespace {

using test_support::ScopedTimeZone;

void Interpret(TIdMessage& m, const std::vector<std::string>& lines) {
    m.ResetMessage();
    for (const auto& line : lines) m.Headers.Add(line);
    m.InterpretHeaders();
}

TEST(MessageDefaults, FreshMessage) {
    TIdMessage m;
    EXPECT_EQ(m.AttachmentEncoding(), "MIME");
    EXPECT_EQ(m.Encoding(), TIdMessageEncoding::meDefault);
    EXPECT_EQ(m.Date, 0);
    EXPECT_TRUE(m.UseNowForDate());
    EXPECT_EQ(m.Priority, mpNormal);
    EXPECT_TRUE(m.ConvertPreamble);
    EXPECT_FALSE(m.NoDecode);
    EXPECT_FALSE(m.NoEncode);
    EXPECT_FALSE(m.ExceptionOnBlockedAttachments);
    EXPECT_FALSE(m.SinglePartBody);
    EXPECT_TRUE(m.ContentType.empty());
    EXPECT_TRUE(m.CharSet.empty());
    EXPECT_TRUE(m.MessageId().empty());
    EXPECT_TRUE(m.InReplyTo().empty());
    EXPECT_TRUE(m.AttachmentTempDirectory().empty());
    EXPECT_EQ(m.Headers.Count(), 0);
    EXPECT_EQ(m.Body.Count(), 0);
    EXPECT_EQ(m.Parts.Count(), 0);
    EXPECT_EQ(m.FromList.Count(), 0);
    EXPECT_EQ(m.Recipients.Count(), 0);
    EXPECT_EQ(m.BoundaryStack.BoundaryCount(), 0);
    EXPECT_TRUE(m.ReceiptRecipient.Text().empty());
    EXPECT_TRUE(m.Sender.Text().empty());
}

TEST(MessageInterpret, NoHeaderLinesAtAll) {
    ScopedTimeZone tz("UTC");
    TIdMessage m;
    Interpret(m, {});
    EXPECT_EQ(m.ContentType, "text/plain");
    EXPECT_EQ(m.CharSet, "");
    EXPECT_EQ(m.Encoding(), TIdMessageEncoding::mePlainText);
    EXPECT_EQ(m.AttachmentEncoding(), "UUE");
    EXPECT_EQ(m.Date, 0);
    EXPECT_EQ(m.Priority, mpNormal);
    EXPECT_EQ(m.BoundaryStack.BoundaryCount(), 0);
    EXPECT_EQ(m.FromList.Count(), 0);
}

struct InterpretRow {
    const char* name;
    std::vector<std::string> lines;
    std::function<void(TIdMessage&)> check;
};

TEST(MessageInterpret, Fields) {
    ScopedTimeZone tz("UTC");
    const std::vector<InterpretRow> rows = {
        {"content-type-quoted-charset",
         {"Content-Type: Text/HTML; charset=\"utf-8\""},
         [](TIdMessage& m) {
             EXPECT_EQ(m.ContentType, "Text/HTML");
             EXPECT_EQ(m.CharSet, "UTF-8");
         }},
        {"charset-unquoted-before-next-param",
         {"Content-Type: text/plain; charset=iso-8859-1; format=flowed"},
         [](TIdMessage& m) { EXPECT_EQ(m.CharSet, "ISO-8859-1"); }},
        {"charset-key-without-value", {"Content-Type: text/plain; charset="},
         [](TIdMessage& m) { EXPECT_EQ(m.CharSet, ""); }},
        {"content-type-main-value-trimmed", {"Content-Type:  multipart/mixed ; boundary=x"},
         [](TIdMessage& m) { EXPECT_EQ(m.ContentType, "multipart/mixed"); }},
        {"folded-content-type-pushes-boundary",
         {"Content-Type: multipart/mixed;", "\tboundary=\"abc\""},
         [](TIdMessage& m) {
             ASSERT_EQ(m.BoundaryStack.BoundaryCount(), 1);
             EXPECT_EQ(m.BoundaryStack.CurrentBoundary(), "abc");
             EXPECT_EQ(m.BoundaryStack.CurrentParentPart(), -1);
         }},
        {"transfer-encoding-and-disposition-verbatim",
         {"Content-Transfer-Encoding: Base64", "Content-Disposition: attachment; filename=a.txt"},
         [](TIdMessage& m) {
             EXPECT_EQ(m.ContentTransferEncoding, "Base64");
             EXPECT_EQ(m.ContentDisposition, "attachment; filename=a.txt");
         }},
        {"subject-decoded", {"Subject: =?ISO-8859-1?Q?Gr=FC=DFe?="},
         [](TIdMessage& m) { EXPECT_EQ(m.Subject, "Gr\xFC\xDF" "e"); }},
        {"from-decoded-then-parsed", {"From: =?ISO-8859-1?Q?J=F6rg?= <j@x.y>"},
         [](TIdMessage& m) {
             ASSERT_EQ(m.FromList.Count(), 1);
             EXPECT_EQ(m.From().Name, "J\xF6rg");
             EXPECT_EQ(m.From().Address, "j@x.y");
         }},
        {"encoded-comma-stays-in-the-name", {"From: =?UTF-8?B?Rm9vLCBCYXI=?= <foo.bar@example.com>"},
         [](TIdMessage& m) {
             ASSERT_EQ(m.FromList.Count(), 1);
             EXPECT_EQ(m.From().Name, "Foo, Bar");
             EXPECT_EQ(m.From().Address, "foo.bar@example.com");
         }},
        {"decoded-blanks-collapse-as-before", {"Cc: =?ISO-8859-1?Q?Andr=E9_?= Pirard <p@x>"},
         [](TIdMessage& m) {
             ASSERT_EQ(m.CCList.Count(), 1);
             EXPECT_EQ(m.CCList.Items(0).Name, "Andr\xE9 Pirard");
         }},
        {"encoded-colon-and-parenthesis-glued-in-a-word", {"From: =?utf-8?Q?Reisen_:)?= <r@x>"},
         [](TIdMessage& m) {
             ASSERT_EQ(m.FromList.Count(), 1);
             EXPECT_EQ(m.From().Name, "Reisen :)");
         }},
        {"encoded-quote-bracket-and-colon-stay-in-names",
         {"To: =?ISO-8859-1?Q?=22A=3C=3E?= <a@x>, =?ISO-8859-1?Q?Team=3A_B=3B?= <b@y>"},
         [](TIdMessage& m) {
             ASSERT_EQ(m.Recipients.Count(), 2);
             EXPECT_EQ(m.Recipients.Items(0).Name, "\"A<>");
             EXPECT_EQ(m.Recipients.Items(1).Name, "Team: B;");
             EXPECT_EQ(m.Recipients.Items(1).Address, "b@y");
         }},
        {"message-id-gets-brackets", {"Message-Id: abc.123"},
         [](TIdMessage& m) { EXPECT_EQ(m.MessageId(), "<abc.123>"); }},
        {"message-id-keeps-brackets", {"Message-ID: <abc.123>"},
         [](TIdMessage& m) { EXPECT_EQ(m.MessageId(), "<abc.123>"); }},
        {"newsgroups-quoted-comma", {"Newsgroups: a.b, \"c,d\" , ,e"},
         [](TIdMessage& m) {
             ASSERT_EQ(m.NewsGroups.Count(), 3);
             EXPECT_EQ(m.NewsGroups[0], "a.b");
             EXPECT_EQ(m.NewsGroups[1], "\"c,d\"");
             EXPECT_EQ(m.NewsGroups[2], "e");
         }},
        {"to-cc-bcc-lists", {"To: a@x, b@y", "Cc: =?ISO-8859-1?Q?C=E4?= <c@z>", "Bcc: d@w"},
         [](TIdMessage& m) {
             EXPECT_EQ(m.Recipients.Count(), 2);
             ASSERT_EQ(m.CCList.Count(), 1);
             EXPECT_EQ(m.CCList.Items(0).Name, "C\xE4");
             ASSERT_EQ(m.BccList.Count(), 1);
             EXPECT_EQ(m.BccList.Items(0).Address, "d@w");
         }},
        {"organization-and-reply-to-not-decoded",
         {"Organization: =?ISO-8859-1?Q?A?=", "Reply-To: =?ISO-8859-1?Q?R?= <r@x>"},
         [](TIdMessage& m) {
             EXPECT_EQ(m.Organization, "=?ISO-8859-1?Q?A?=");
             ASSERT_EQ(m.ReplyTo.Count(), 1);
             EXPECT_EQ(m.ReplyTo.Items(0).Address, "r@x");
             EXPECT_EQ(m.ReplyTo.Items(0).Name.rfind("=?", 0), 0u);
         }},
        {"receipt-from-disposition-notification",
         {"Return-Receipt-To: b@y", "Disposition-Notification-To: a@x"},
         [](TIdMessage& m) { EXPECT_EQ(m.ReceiptRecipient.Address, "a@x"); }},
        {"receipt-falls-back-to-return-receipt", {"Return-Receipt-To: Bob <b@y>"},
         [](TIdMessage& m) { EXPECT_EQ(m.ReceiptRecipient.Address, "b@y"); }},
        {"references-and-sender",
         {"References: <a@b> <c@d>", "Sender: =?ISO-8859-1?Q?S?= <s@x>"},
         [](TIdMessage& m) {
             EXPECT_EQ(m.References, "<a@b> <c@d>");
             EXPECT_EQ(m.Sender.Address, "s@x");
         }},
        {"mime-version-selects-mime", {"MIME-Version: 1.0"},
         [](TIdMessage& m) {
             EXPECT_EQ(m.Encoding(), TIdMessageEncoding::meMIME);
             EXPECT_EQ(m.AttachmentEncoding(), "MIME");
         }},
        {"in-reply-to-not-interpreted", {"In-Reply-To: <x@y>"},
         [](TIdMessage& m) { EXPECT_EQ(m.InReplyTo(), ""); }},
        {"first-field-of-a-name-wins", {"Subject: one", "Subject: two"},
         [](TIdMessage& m) { EXPECT_EQ(m.Subject, "one"); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TIdMessage m;
        Interpret(m, row.lines);
        row.check(m);
    }
}

TEST(MessageInterpret, Priority) {
    struct Row {
        const char* name;
        std::vector<std::string> lines;
        int expected;
    };
    const std::vector<Row> rows = {
        {"x-priority-highest", {"X-Priority: 1 (Highest)"}, mpHighest},
        {"x-priority-normal-with-comment", {"X-Priority: 3 (Normal)"}, mpNormal},
        {"x-priority-2", {"X-Priority: 2"}, mpHigh},
        {"x-priority-5", {"X-Priority: 5"}, mpLowest},
        {"urgent-beats-x-priority", {"X-Priority: 5", "Priority: urgent"}, mpHigh},
        {"urgent-any-case-anywhere", {"X-Priority: VERY URGENT"}, mpHigh},
        {"non-priority", {"Priority: non-priority"}, mpLow},
        {"priority-text-hides-x-priority", {"Priority: normal", "X-Priority: 1"}, mpNormal},
        {"not-a-number", {"X-Priority: High"}, mpNormal},
        {"nine-kept-raw", {"X-Priority: 9"}, 8},
        {"zero-kept-raw", {"X-Priority: 0"}, -1},
        {"tab-is-not-a-separator", {"X-Priority: 1\t(Highest)"}, mpNormal},
        {"absent", {}, mpNormal},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TIdMessage m;
        Interpret(m, row.lines);
        EXPECT_EQ(static_cast<int>(m.Priority), row.expected);
    }
}

TEST(MessageInterpret, DateAndReceivedFallback) {
    ScopedTimeZone tz("UTC");
    const std::string kReceived2008 = "Received: from a by b; Tue, 3 Jun 2008 10:00:00 +0200 (CEST)";
    struct Row {
        const char* name;
        std::vector<std::string> lines;
        const char* expected;  // nullptr: Date is 0
    };
    const std::vector<Row> rows = {
        {"date-field", {"Date: Tue, 3 Jun 2008 10:00:00 +0200"}, "2008-06-03 08:00:00"},
        {"date-2000-kept", {"Date: Sat, 1 Jan 2000 00:00:00 +0000", kReceived2008}, "2000-01-01 00:00:00"},
        {"no-date-uses-received", {kReceived2008}, "2008-06-03 08:00:00"},
        {"date-1998-uses-received", {"Date: Mon, 2 Feb 1998 10:00:00 +0000", kReceived2008},
         "2008-06-03 08:00:00"},
        {"date-1998-without-received", {"Date: Mon, 2 Feb 1998 10:00:00 +0000"}, nullptr},
        {"unreadable-date-uses-received", {"Date: garbage", kReceived2008}, "2008-06-03 08:00:00"},
        {"received-after-last-semicolon",
         {"Received: from a (x; y) by b; id 5; Wed, 4 Jun 2008 10:00:00 +0000"}, "2008-06-04 10:00:00"},
        {"received-folded", {"Received: from a by b;", "\tThu, 5 Jun 2008 10:00:00 +0000 (GMT)"},
         "2008-06-05 10:00:00"},
        {"first-received-wins",
         {"Received: from a by b; Fri, 6 Jun 2008 10:00:00 +0000", kReceived2008}, "2008-06-06 10:00:00"},
        {"neither", {"Subject: x"}, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TIdMessage m;
        Interpret(m, row.lines);
        if (row.expected == nullptr) {
            EXPECT_EQ(m.Date, 0);
        } else {
            EXPECT_EQ(platform::FormatIsoDateTime(m.Date), row.expected);
        }
    }
}

// A header block of a million lines must not take a quadratic walk: a lookup
// per field is linear, so ten times the lines may take about ten times as long.
TEST(MessageInterpret, LinearInTheNumberOfHeaderLines) {
    auto timeFor = [](int lines) {
        TIdMessage m;
        for (int i = 0; i < lines; ++i) m.Headers.Add("X-Filler-" + std::to_string(i) + ": some value");
        m.Headers.Add("Subject: last");
        const auto start = std::chrono::steady_clock::now();
        m.InterpretHeaders();
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(m.Subject, "last");
        return std::chrono::duration<double>(elapsed).count();
    };
    const double small = std::min(timeFor(10000), timeFor(10000));
    const double large = timeFor(100000);
    EXPECT_LT(large, small * 40 + 0.05) << "small " << small << " s, large " << large << " s";
}

TEST(MessageProperties, FromReadAddsAnEmptyItem) {
    TIdMessage m;
    TIdEMailAddressItem& from = m.From();
    EXPECT_EQ(m.FromList.Count(), 1);
    EXPECT_TRUE(from.Text().empty());
    m.From();
    EXPECT_EQ(m.FromList.Count(), 1);

    TIdEMailAddressItem other;
    other.Name = "N";
    other.Address = "n@x";
    m.SetFrom(other);
    EXPECT_EQ(m.FromList.Count(), 1);
    EXPECT_EQ(m.FromList.Items(0).Address, "n@x");
    EXPECT_EQ(m.FromList.Items(0).Name, "N");
}

TEST(MessageProperties, UseNowForDate) {
    TIdMessage m;
    const double before = platform::Now();
    m.SetUseNowForDate(false);
    EXPECT_GE(m.Date, before - 1e-6);
    EXPECT_FALSE(m.UseNowForDate());

    m.Date = 1000.5;
    m.SetUseNowForDate(false);  // unchanged value: date stays
    EXPECT_EQ(m.Date, 1000.5);
    m.SetUseNowForDate(true);
    EXPECT_EQ(m.Date, 0);
}

TEST(MessageProperties, EncodingSetsAttachmentEncoding) {
    const struct {
        TIdMessageEncoding value;
        const char* expected;
    } rows[] = {
        {TIdMessageEncoding::meMIME, "MIME"},
        {TIdMessageEncoding::mePlainText, "UUE"},
        {TIdMessageEncoding::meDefault, "UUE"},
    };
    for (const auto& row : rows) {
        TIdMessage m;
        m.SetEncoding(row.value);
        EXPECT_EQ(m.Encoding(), row.value);
        EXPECT_EQ(m.AttachmentEncoding(), row.expected);
    }
}

TEST(MessageProperties, AngleBracketNormalisation) {
    const struct {
        const char* in;
        const char* out;
    } rows[] = {{"", ""}, {"a", "<a>"}, {"<a", "<a>"}, {"a>", "<a>"}, {"<a>", "<a>"}, {"<", "<>"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.in);
        TIdMessage m;
        m.SetMessageId(row.in);
        m.SetInReplyTo(row.in);
        EXPECT_EQ(m.MessageId(), row.out);
        EXPECT_EQ(m.InReplyTo(), row.out);
    }
}

TEST(MessageProperties, AttachmentTempDirectoryLosesTrailingDelimiter) {
    TIdMessage m;
    m.SetAttachmentTempDirectory("/var/tmp/x/");
    EXPECT_EQ(m.AttachmentTempDirectory(), "/var/tmp/x");
    m.SetAttachmentTempDirectory("/var/tmp/y");
    EXPECT_EQ(m.AttachmentTempDirectory(), "/var/tmp/y");
    m.SetAttachmentTempDirectory("");
    EXPECT_EQ(m.AttachmentTempDirectory(), "");
}

TEST(MessageReset, HeaderFieldsAndWhatStays) {
    TIdMessage m;
    Interpret(m, {"Subject: s", "From: a@x", "To: b@y", "MIME-Version: 1.0", "X-Priority: 1",
                  "Content-Type: multipart/mixed; boundary=q", "Date: Tue, 3 Jun 2008 10:00:00 +0000",
                  "Message-Id: <m@x>", "Sender: s@x", "Disposition-Notification-To: d@x"});
    m.SetInReplyTo("r@x");
    m.SetAttachmentTempDirectory("/somewhere");
    m.ExceptionOnBlockedAttachments = true;
    m.NoDecode = true;
    m.SinglePartBody = true;
    m.ConvertPreamble = false;
    m.Body.Add("body");
    m.Parts.Add<TIdText>();

    m.ResetHeaderFields();
    EXPECT_EQ(m.Headers.Count(), 0);
    EXPECT_EQ(m.Subject, "");
    EXPECT_EQ(m.FromList.Count(), 0);
    EXPECT_EQ(m.Recipients.Count(), 0);
    EXPECT_EQ(m.Date, 0);
    EXPECT_EQ(m.Priority, mpNormal);
    EXPECT_EQ(m.MessageId(), "");
    EXPECT_EQ(m.ContentType, "");
    EXPECT_EQ(m.BoundaryStack.BoundaryCount(), 0);
    EXPECT_TRUE(m.Sender.Text().empty());
    EXPECT_TRUE(m.ReceiptRecipient.Text().empty());
    EXPECT_EQ(m.Encoding(), TIdMessageEncoding::meDefault);
    EXPECT_EQ(m.AttachmentEncoding(), "MIME");  // set by MIME-Version, not by the reset
    EXPECT_FALSE(m.SinglePartBody);
    EXPECT_TRUE(m.ConvertPreamble);
    // Left alone:
    EXPECT_EQ(m.InReplyTo(), "<r@x>");
    EXPECT_EQ(m.AttachmentTempDirectory(), "/somewhere");
    EXPECT_TRUE(m.ExceptionOnBlockedAttachments);
    EXPECT_TRUE(m.NoDecode);
    EXPECT_EQ(m.Body.Count(), 1);
    EXPECT_EQ(m.Parts.Count(), 1);

    m.ResetBody();
    EXPECT_EQ(m.Body.Count(), 0);
    EXPECT_EQ(m.Parts.Count(), 0);
}

TEST(MessageParts, EffectiveContentType) {
    struct Row {
        const char* name;
        TIdMessageEncoding encoding;
        const char* parentType;  // nullptr: no parent part
        int parentIndex;
        const char* value;
        const char* expected;
    };
    const Row rows[] = {
        {"explicit-value-main-part", TIdMessageEncoding::meMIME, nullptr, -1, " Text/HTML ; charset=x", "Text/HTML"},
        {"mime-top-level", TIdMessageEncoding::meMIME, nullptr, -1, "", "text/plain"},
        {"inside-digest", TIdMessageEncoding::meMIME, "multipart/digest; boundary=d", 0, "", "message/rfc822"},
        {"inside-digest-any-case", TIdMessageEncoding::meMIME, "Multipart/DIGEST", 0, "", "message/rfc822"},
        {"inside-mixed", TIdMessageEncoding::meMIME, "multipart/mixed; boundary=d", 0, "", "text/plain"},
        {"parent-index-out-of-range", TIdMessageEncoding::meMIME, nullptr, 7, "", "text/plain"},
        {"plain-message", TIdMessageEncoding::mePlainText, nullptr, -1, "", ""},
        {"plain-message-inside-digest", TIdMessageEncoding::mePlainText, "multipart/digest", 0, "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TIdMessage m;
        m.SetEncoding(row.encoding);
        if (row.parentType != nullptr) m.Parts.Add<TIdText>().Headers.Add(std::string("Content-Type: ") + row.parentType);
        TIdText& part = m.Parts.Add<TIdText>();
        part.ParentPart = row.parentIndex;
        EXPECT_EQ(part.EffectiveContentType(row.value), row.expected);
    }
    TIdText loose(nullptr);
    EXPECT_EQ(loose.EffectiveContentType(""), "");
}

TEST(MessageParts, CreateAttachmentPart) {
    TIdMessage m;
    m.Parts.Add<TIdText>();
    TIdAttachment& plain = m.CreateAttachmentPart(TStringList{"Content-Type=application/pdf"});
    ASSERT_EQ(m.Parts.Count(), 2);
    EXPECT_EQ(&m.Parts.Items(1), &plain);
    auto* file = dynamic_cast<TIdAttachmentFile*>(&plain);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->TempPath, "");
    EXPECT_EQ(file->AttachedFileName, "");

    const TStringList* seen = nullptr;
    m.OnCreateAttachment = [&](TIdMessage& msg, const TStringList& headers, TIdAttachment*& slot) {
        seen = &headers;
        slot = &msg.Parts.Add<TIdAttachmentMemory>();
    };
    const TStringList headers{"Content-Type=text/x"};
    TIdAttachment& supplied = m.CreateAttachmentPart(headers);
    EXPECT_EQ(seen, &headers);
    EXPECT_NE(dynamic_cast<TIdAttachmentMemory*>(&supplied), nullptr);
    EXPECT_EQ(m.Parts.Count(), 3);

    // A handler that leaves the slot empty gets the default part.
    m.OnCreateAttachment = [](TIdMessage&, const TStringList&, TIdAttachment*&) {};
    EXPECT_NE(dynamic_cast<TIdAttachmentFile*>(&m.CreateAttachmentPart(headers)), nullptr);
    EXPECT_EQ(m.Parts.Count(), 4);

    // A part the message does not hold would have no owner.
    TIdAttachmentMemory stray(nullptr);
    m.OnCreateAttachment = [&](TIdMessage&, const TStringList&, TIdAttachment*& slot) { slot = &stray; };
    EXPECT_THROW(m.CreateAttachmentPart(headers), EIdException);
}

}  // namespace
