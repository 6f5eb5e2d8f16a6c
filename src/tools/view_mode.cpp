#include "tools/view_mode.h"

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "platform/files.h"
#include "tools/json_output.h"
#include "view/mail_view_core.h"
#include "view/recording_view.h"
#include "view/temp_dir.h"

namespace {

// DIR followed by a separator, absolute, so every path printed is.
bool PrepareTempDir(const std::string& dir, std::string& error) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(dir, ec);
    if (ec) {
        error = "cannot use the temporary folder " + dir + ": " + ec.message();
        return false;
    }
    const std::string folder = absolute.string();
    if (!platform::ForceDirectories(folder, 0700)) {
        error = "cannot create the temporary folder " + folder;
        return false;
    }
    view::SetTempDir(folder);
    return true;
}

void WriteLocalArray(JsonWriter& writer, const std::vector<std::string>& lines) {
    writer.StartArray();
    for (const std::string& line : lines) WriteLocalString(writer, line);
    writer.EndArray();
}

// What the displays hold is UTF-8 already.
void WriteUtf8Array(JsonWriter& writer, const std::vector<std::string>& lines) {
    writer.StartArray();
    for (const std::string& line : lines) WriteUtf8String(writer, line);
    writer.EndArray();
}

void WriteViewObject(JsonWriter& writer, const view::MailViewCore& core, const view::RecordingDisplays& displays,
                     const view::RecordingHtmlView& html, const view::RecordingMessageBoxes& boxes,
                     const std::optional<std::string>& error, const std::string* fileMember) {
    writer.StartObject();
    if (fileMember != nullptr) {
        writer.Key("file");
        WriteUtf8String(writer, *fileMember);
    }
    writer.Key("subject_line");
    WriteUtf8String(writer, displays.subjectLine);
    writer.Key("header_labels");
    WriteUtf8Array(writer, displays.headerLabels);
    writer.Key("header_values");
    WriteUtf8Array(writer, displays.headerValues);
    writer.Key("text_lines");
    WriteUtf8Array(writer, displays.messageText);
    writer.Key("raw_header");
    WriteUtf8Array(writer, displays.rawHeader);
    writer.Key("attachments");
    WriteUtf8Array(writer, displays.attachments);

    writer.Key("pages");
    writer.StartObject();
    for (const view::Page page : view::kAllPages) {
        writer.Key(view::PageCaption(page));
        writer.Bool(displays.Visible(page));
    }
    writer.EndObject();
    writer.Key("front_page");
    writer.String(view::PageCaption(displays.frontPage));

    writer.Key("navigations");
    writer.StartArray();
    for (const auto& navigation : html.navigations) WriteUtf8String(writer, navigation.target);
    writer.EndArray();
    writer.Key("html_file");
    if (core.HtmlPublished())
        WriteUtf8String(writer, core.HtmlTempFileName());
    else
        writer.Null();
    writer.Key("html");
    if (core.HtmlPublished())
        WriteUtf8String(writer, core.PublishedHtmlUtf8());
    else
        writer.Null();

    writer.Key("message_boxes");
    writer.StartArray();
    for (const auto& box : boxes.boxes) {
        writer.StartObject();
        writer.Key("kind");
        writer.String(view::MessageBoxKindName(box.kind));
        writer.Key("text");
        WriteLocalString(writer, box.text);
        writer.EndObject();
    }
    writer.EndArray();

    writer.Key("cid_files");
    writer.StartArray();
    for (const std::string& path : core.CidFiles()) WriteUtf8String(writer, path);
    writer.EndArray();
    writer.Key("repaired");
    writer.Bool(core.Repaired());
    writer.Key("notices");
    WriteLocalArray(writer, core.Notices());
    if (error) {
        writer.Key("error");
        WriteUtf8String(writer, *error);  // file-system errors name UTF-8 paths
    }
    writer.EndObject();
}

}  // namespace

int RunViewMode(const DumpOptions& options) {
    if (!options.tempDir.empty()) {
        std::string error;
        if (!PrepareTempDir(options.tempDir, error)) {
            std::fprintf(stderr, "kqv-dump: %s\n", error.c_str());
            return 2;
        }
    } else {
        view::SetTempDir(view::DefaultTempDir(platform::ExecutableDirectory()));
    }

    view::RecordingDisplays displays;
    view::RecordingHtmlView html;
    view::RecordingMessageBoxes boxes;
    view::ScriptedSaveDialog saveDialog;
    view::RecordingShell shell;
    std::optional<std::string> error;
    FdWriteStream stream(STDOUT_FILENO);
    {
        // Destroyed at the end of this block like the viewer's window at
        // program end, which removes its HTML temporary files.
        view::MailViewCore core({displays, html, boxes, saveDialog, shell});
        core.SetDefaultCharset(options.charset);
        core.MailFileName = options.file;
        try {
            core.ChangeMail();
        } catch (const std::exception& e) {
            error = e.what();
        } catch (...) {
            error = "unknown error";
        }
        JsonWriter writer(stream);
        WriteViewObject(writer, core, displays, html, boxes, error, options.batch ? &options.file : nullptr);
    }
    stream.Put('\n');
    stream.Flush();
    if (stream.Failed()) {
        std::fputs("kqv-dump: cannot write the output\n", stderr);
        return 1;
    }
    return error ? 1 : 0;
}
