// Opening files and URLs on a freedesktop desktop: desktop entries, the
// association check and the way to a program choice.
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "view/qt/desktop_entries.h"
#include "view/qt/program_chooser_dialog.h"
#include "view/qt/xdg_desktop_shell.h"
#include "view_qt_test_support.h"

namespace {

using view::ShellOpenResult;
using view::qt::Application;
using view::qt::DesktopEntry;
using view::qt::ExpandExec;
using view::qt::FindApplications;
using view::qt::ParseDesktopEntry;
using view::qt::XdgDesktopShell;

TEST(DesktopEntries, ParsesTheMainGroupWithLocalisedNameAndEscapes) {
    const DesktopEntry entry = ParseDesktopEntry(
        "# comment\n"
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Text Editor\n"
        "Name[de]=Texteditor\n"
        "Exec=edit\\sit %F\n"
        "Icon=editor\n"
        "MimeType=text/plain;text/x-log;\n"
        "NoDisplay=true\n"
        "Name=Second Name Ignored\n"
        "[Desktop Action new]\n"
        "Exec=not this one\n"
        "Hidden=true\n",
        "de_DE");
    EXPECT_TRUE(entry.application);
    EXPECT_EQ(entry.name, "Texteditor");
    EXPECT_EQ(entry.exec, "edit it %F");
    EXPECT_EQ(entry.icon, "editor");
    EXPECT_EQ(entry.mimeTypes, (QStringList{"text/plain", "text/x-log"}));
    EXPECT_TRUE(entry.noDisplay);
    EXPECT_FALSE(entry.hidden);
    EXPECT_EQ(ParseDesktopEntry("[Desktop Entry]\nName=Editor\nName[de]=Texteditor\n", "fr_FR").name, "Editor");
}

TEST(DesktopEntries, ExecLineBecomesProgramAndArguments) {
    const QString file = "/tmp/Temp/Brief an Anna.pdf";
    struct Row {
        const char* name;
        const char* exec;
        QStringList expected;  // empty: malformed
    };
    const Row rows[] = {
        {"file code", "viewer %f", {"viewer", file}},
        {"list and URL codes give the path", "viewer --new %U", {"viewer", "--new", file}},
        {"no code appends the file", "viewer --x", {"viewer", "--x", file}},
        {"quoted program with blank", "\"/opt/My Viewer/bin/v\" %f", {"/opt/My Viewer/bin/v", file}},
        {"escapes inside quotes", "sh -c \"echo \\\"\\$1\\\\\" %f", {"sh", "-c", "echo \"$1\\", file}},
        {"percent sign", "viewer --zoom=100%% %f", {"viewer", "--zoom=100%", file}},
        {"icon code", "viewer %i %f", {"viewer", "--icon", "ic", file}},
        {"name and location codes", "viewer --title=%c --from %k %f", {"viewer", "--title=Betrachter", "--from", "/usr/share/applications/v.desktop", file}},
        {"deprecated codes vanish", "viewer %d %m %f", {"viewer", file}},
        {"several blanks", "  viewer    %f  ", {"viewer", file}},
        {"open quote", "\"viewer %f", {}},
        {"empty", "   ", {}},
    };
    DesktopEntry entry;
    entry.name = "Betrachter";
    entry.icon = "ic";
    entry.path = "/usr/share/applications/v.desktop";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        entry.exec = QString::fromUtf8(row.exec);
        const std::optional<QStringList> argv = ExpandExec(entry, file);
        if (row.expected.isEmpty()) {
            EXPECT_FALSE(argv.has_value());
        } else {
            ASSERT_TRUE(argv.has_value());
            EXPECT_EQ(*argv, row.expected);
        }
    }
}

class InstalledApplications : public ::testing::Test {
protected:
    void Write(const QString& dir, const QString& name, const QString& text) {
        const QString path = root.filePath(dir + "/" + name);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("[Desktop Entry]\nType=Application\n" + text).toUtf8());
    }
    QStringList Ids(const std::vector<Application>& apps) {
        QStringList ids;
        for (const Application& app : apps) ids << app.entry.id + (app.handlesType ? "*" : "");
        return ids;
    }
    QTemporaryDir root;
};

TEST_F(InstalledApplications, TypeHandlersFirstThenTheShownRest) {
    Write("user", "zeditor.desktop", "Name=Z Editor\nExec=zed %f\nMimeType=text/plain;\n");
    Write("user", "override.desktop", "Name=Overridden\nExec=mine %f\n");
    Write("system", "override.desktop", "Name=System Version\nExec=theirs %f\n");
    Write("system", "kde/okular.desktop", "Name=Okular\nExec=okular %U\nMimeType=application/pdf;\n");
    Write("system", "aviewer.desktop", "Name=A Viewer\nExec=av %f\nMimeType=text/x-log;\n");
    Write("system", "handler.desktop", "Name=Handler\nExec=h %f\nNoDisplay=true\nMimeType=text/plain;\n");
    Write("system", "helper.desktop", "Name=Helper\nExec=help\nNoDisplay=true\n");
    Write("system", "gone.desktop", "Name=Gone\nExec=gone %f\nHidden=true\nMimeType=text/plain;\n");
    Write("system", "console.desktop", "Name=Console\nExec=c %f\nTerminal=true\nMimeType=text/plain;\n");
    Write("system", "noexec.desktop", "Name=No Exec\nMimeType=text/plain;\n");
    Write("system", "missing.desktop", "Name=Missing\nExec=m %f\nTryExec=/nonexistent/program\n");
    Write("system", "link.desktop", "Name=Link\nExec=x\n");
    QFile::remove(root.filePath("system/link.desktop"));
    QFile link(root.filePath("system/link.desktop"));
    ASSERT_TRUE(link.open(QIODevice::WriteOnly));
    link.write("[Desktop Entry]\nType=Link\nName=Link\nURL=https://example.com\n");
    link.close();

    const std::vector<Application> apps = FindApplications(
        {root.filePath("user"), root.filePath("system")}, {"text/x-log", "text/plain"}, "C");
    EXPECT_EQ(Ids(apps), (QStringList{"aviewer.desktop*", "handler.desktop*", "zeditor.desktop*", "kde-okular.desktop",
                                      "override.desktop"}));
    EXPECT_EQ(apps.back().entry.exec, "mine %f");
}

TEST_F(InstalledApplications, ChooserShowsTypeHandlersAndOffersAllOnRequest) {
    Write("apps", "a.desktop", "Name=Alpha\nExec=alpha --open %f\nMimeType=text/plain;\n");
    Write("apps", "b.desktop", "Name=Beta\nExec=beta %U\n");
    view::qt::ProgramChooserDialog dialog(
        "/tmp/Temp/notiz.txt", FindApplications({root.filePath("apps")}, {"text/plain"}, "C"), nullptr);
    auto* list = dialog.findChild<QListWidget*>("lbProgramme");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "Alpha");
    ASSERT_TRUE(dialog.ChooseRow(0));
    EXPECT_EQ(dialog.Command(), (QStringList{"alpha", "--open", "/tmp/Temp/notiz.txt"}));

    dialog.findChild<QAbstractButton*>("cbAlleProgramme")->click();
    ASSERT_EQ(list->count(), 2);
    ASSERT_TRUE(dialog.ChooseRow(1));
    EXPECT_EQ(dialog.Command(), (QStringList{"beta", "/tmp/Temp/notiz.txt"}));
    EXPECT_FALSE(dialog.ChooseRow(2));
}

// A desktop that records what the shell asked of it.
struct FakeDesktop {
    std::map<QString, QString> defaults;  // xdg-mime answers by type
    bool xdgMimeRuns = true;
    bool openSucceeds = true;
    bool portalAvailable = true;
    QStringList log;

    XdgDesktopShell::Desktop Make() {
        return {
            [this](const QStringList& argv) -> std::optional<QString> {
                log << argv.join(' ');
                if (!xdgMimeRuns) return std::nullopt;
                const auto it = defaults.find(argv.last());
                return it == defaults.end() ? QString() : it->second;
            },
            [this](const QUrl& url) {
                log << "open " + url.toString(QUrl::FullyEncoded);
                return openSucceeds;
            },
            [this](const QString& path) {
                log << "portal " + path;
                return portalAvailable;
            },
            [this](const QString& path) { log << "chooser " + path; },
        };
    }
};

TEST(XdgShell, OpensFileWhenItsTypeOrAParentTypeHasAProgram) {
    FakeDesktop desktop;
    desktop.defaults["text/plain"] = QString("org.example.Editor.desktop\n");
    XdgDesktopShell shell(desktop.Make());
    // A C source is text/x-csrc, derived from text/plain.
    EXPECT_EQ(shell.OpenFile("/tmp/Temp/prog.c"), ShellOpenResult::soOpened);
    EXPECT_EQ(desktop.log, (QStringList{"xdg-mime query default text/x-csrc", "xdg-mime query default text/plain",
                                        "open file:///tmp/Temp/prog.c"}));
}

TEST(XdgShell, NoProgramForTheTypeMeansNoAssociation) {
    FakeDesktop desktop;
    XdgDesktopShell shell(desktop.Make());
    EXPECT_EQ(shell.OpenFile("/tmp/Temp/daten.xyzunbekannt"), ShellOpenResult::soNoAssociation);
    EXPECT_EQ(desktop.log, QStringList{"xdg-mime query default application/octet-stream"});
}

TEST(XdgShell, WithoutXdgMimeTheOpenerDecides) {
    FakeDesktop desktop;
    desktop.xdgMimeRuns = false;
    XdgDesktopShell shell(desktop.Make());
    EXPECT_EQ(shell.OpenFile("/tmp/Temp/Brief an Anna.pdf"), ShellOpenResult::soOpened);
    EXPECT_EQ(desktop.log.last(), "open file:///tmp/Temp/Brief%20an%20Anna.pdf");
    desktop.openSucceeds = false;
    EXPECT_EQ(shell.OpenFile("/tmp/Temp/Brief an Anna.pdf"), ShellOpenResult::soNoAssociation);
}

TEST(XdgShell, ProgramChoiceAsksThePortalFirst) {
    FakeDesktop desktop;
    XdgDesktopShell shell(desktop.Make());
    shell.ChooseProgramFor("/tmp/Temp/a.dat");
    EXPECT_EQ(desktop.log, QStringList{"portal /tmp/Temp/a.dat"});
    desktop.log.clear();
    desktop.portalAvailable = false;
    shell.ChooseProgramFor("/tmp/Temp/a.dat");
    EXPECT_EQ(desktop.log, (QStringList{"portal /tmp/Temp/a.dat", "chooser /tmp/Temp/a.dat"}));
}

TEST(XdgShell, UrlIsHandedOnAsItCame) {
    FakeDesktop desktop;
    XdgDesktopShell shell(desktop.Make());
    shell.OpenUrl("https://example.com/a%20b?x=%C3%A4#teil");
    shell.OpenUrl("mailto:anna@example.org?subject=Hallo%20Anna");
    EXPECT_EQ(desktop.log, (QStringList{"open https://example.com/a%20b?x=%C3%A4#teil",
                                        "open mailto:anna@example.org?subject=Hallo%20Anna"}));
}

}  // namespace
