// Loads every mail of the shared corpus: each must load or fail with an error
// of the reader's own family, in bounded time, and leave no temporary file.
// Each load runs in a child process so that a hang or a crash is reported
// for its file instead of stopping the sweep.

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <typeinfo>
#include <vector>

#include "reader/exceptions.h"
#include "reader/message/message.h"

namespace fs = std::filesystem;

namespace {

constexpr std::chrono::seconds kPerFileLimit{10};

enum class Outcome { Loaded, ReaderError, Problem };

struct Result {
    Outcome outcome = Outcome::Problem;
    std::string detail;
};

// In the child: load, free the message, report one line, leave.
[[noreturn]] void LoadAndReport(const fs::path& file, const fs::path& tempFolder, int reportFd) {
    std::string report;
    {
        TIdMessage message;
        message.SetAttachmentTempDirectory(tempFolder.string());
        try {
            message.LoadMessageFile(file.string());
            report = "L";
            // The emptiness check after freeing means something only if the
            // temporary files went where they were told to go.
            for (int i = 0; i < message.Parts.Count(); ++i) {
                const auto* attachment = dynamic_cast<const TIdAttachmentFile*>(&message.Parts.Items(i));
                if (attachment && attachment->OwnsTempFile &&
                    fs::path(attachment->TempPath).parent_path() != tempFolder) {
                    report = "Ptemporary file outside the folder: " + attachment->TempPath;
                    break;
                }
            }
        } catch (const EIdException& e) {
            report = std::string("E") + e.what();
        } catch (const std::exception& e) {
            report = std::string("P") + "exception " + typeid(e).name() + ": " + e.what();
        } catch (...) {
            report = "Pexception of an unknown type";
        }
    }
    const char* p = report.data();
    std::size_t left = report.size();
    while (left > 0) {
        const ssize_t n = ::write(reportFd, p, left);
        if (n <= 0) break;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    ::_exit(0);
}

Result LoadInChild(const fs::path& file, const fs::path& tempFolder) {
    int fds[2];
    if (::pipe(fds) != 0) return {Outcome::Problem, "pipe failed"};
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return {Outcome::Problem, "fork failed"};
    }
    if (pid == 0) {
        ::close(fds[0]);
        LoadAndReport(file, tempFolder, fds[1]);
    }
    ::close(fds[1]);

    const auto deadline = std::chrono::steady_clock::now() + kPerFileLimit;
    std::string report;
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd pfd{fds[0], POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) {
            timedOut = true;
            break;
        }
        char buffer[4096];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the child is done
        report.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    if (timedOut) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }

    if (timedOut) return {Outcome::Problem, "no result within 10 s"};
    if (WIFSIGNALED(status)) return {Outcome::Problem, "crashed with signal " + std::to_string(WTERMSIG(status))};
    if (report.empty()) return {Outcome::Problem, "ended without a result, exit status " + std::to_string(WEXITSTATUS(status))};
    switch (report[0]) {
        case 'L': return {Outcome::Loaded, ""};
        case 'E': return {Outcome::ReaderError, report.substr(1)};
        default: return {Outcome::Problem, report.substr(1)};
    }
}

std::vector<fs::path> CorpusFiles(const fs::path& corpus) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
        if (!entry.is_regular_file()) continue;
        if (entry.path().filename() == "SOURCES.md") continue;
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(CorpusSweep, EveryMailLoadsOrFailsWithAReaderError) {
    const fs::path corpus(KQV_CORPUS_DIR);
    if (!fs::is_directory(corpus)) {
        std::cout << "corpus sweep skipped: no mail corpus at " << corpus.string() << "\n";
        GTEST_SKIP();
    }

    std::string pattern = (fs::temp_directory_path() / "kqv-corpus-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path root(pattern);

    int loaded = 0, readerErrors = 0, index = 0;
    std::vector<std::string> problems;
    for (const fs::path& file : CorpusFiles(corpus)) {
        const fs::path tempFolder = root / std::to_string(index++);
        fs::create_directory(tempFolder);
        const Result result = LoadInChild(file, tempFolder);
        const std::string name = fs::relative(file, corpus).string();
        switch (result.outcome) {
            case Outcome::Loaded: ++loaded; break;
            case Outcome::ReaderError:
                ++readerErrors;
                std::cout << "refused: " << name << ": " << result.detail << "\n";
                break;
            case Outcome::Problem: problems.push_back(name + ": " + result.detail); break;
        }
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(tempFolder)) left.push_back(entry.path().filename().string());
        if (!left.empty())
            problems.push_back(name + ": " + std::to_string(left.size()) + " temporary file(s) left, e.g. " + left[0]);
        fs::remove_all(tempFolder);
    }
    fs::remove_all(root);

    std::cout << "corpus: " << loaded << " loaded, " << readerErrors << " refused with a reader error, "
              << problems.size() << " problems\n";
    EXPECT_GT(loaded, 0);
    std::string all;
    for (const auto& p : problems) all += "\n  " + p;
    EXPECT_TRUE(problems.empty()) << all;
}

}  // namespace
