// Peak memory of a load: a giant attachment streams to its file, so the
// heap stays small whatever its size; a text part costs its lines.
// Under AddressSanitizer the heap is counted through its allocation hooks
// (the shadow and quarantine would swamp the resident size); otherwise the
// load runs in a forked child whose peak resident size is compared.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "reader/io/stream.h"
#include "reader/message/message.h"
#include "reader/message/resource_bounds_support.h"

#if defined(__SANITIZE_ADDRESS__)
#define KQV_COUNT_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KQV_COUNT_HEAP 1
#endif
#endif

#ifdef KQV_COUNT_HEAP
// The sanitizer runtime's allocator interface (its header ships with clang only).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                              void (*free_hook)(const volatile void*));
std::size_t __sanitizer_get_allocated_size(const volatile void* p);
}
#endif

namespace {

using resource_bounds::GeneratedStream;
using resource_bounds::ScratchFolder;

constexpr std::int64_t kMiB = 1024 * 1024;

#ifdef KQV_COUNT_HEAP
std::atomic<bool> counting{false};
std::atomic<std::int64_t> live{0};
std::atomic<std::int64_t> peak{0};

void OnMalloc(const volatile void*, std::size_t size) {
    if (!counting.load(std::memory_order_relaxed)) return;
    const std::int64_t now = live.fetch_add(static_cast<std::int64_t>(size)) + static_cast<std::int64_t>(size);
    std::int64_t seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
}

void OnFree(const volatile void* ptr) {
    if (!counting.load(std::memory_order_relaxed) || ptr == nullptr) return;
    live.fetch_sub(static_cast<std::int64_t>(__sanitizer_get_allocated_size(ptr)));
}

// Heap bytes in use at the highest point while work ran, above the start.
std::int64_t PeakHeapOf(const std::function<void()>& work) {
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    EXPECT_TRUE(installed);
    live = 0;
    peak = 0;
    counting = true;
    work();
    counting = false;
    return peak.load();
}
#else
std::int64_t HighWaterMark() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            std::int64_t kib = 0;
            status >> kib;
            return kib * 1024;
        }
        status.ignore(1 << 20, '\n');
    }
    return -1;
}

// Growth of the peak resident size while work runs in a forked child.
std::int64_t PeakHeapOf(const std::function<void()>& work) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        const std::int64_t before = HighWaterMark();
        work();
        const std::int64_t growth = HighWaterMark() - before;
        (void)!write(pipeFds[1], &growth, sizeof growth);
        _exit(0);
    }
    close(pipeFds[1]);
    std::int64_t growth = -1;
    if (read(pipeFds[0], &growth, sizeof growth) != sizeof growth) growth = -1;
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return growth;
}
#endif

TEST(MemoryBound, GiantBase64AttachmentLoadsInBoundedMemory) {
    ScratchFolder folder;
    // 57 bytes per 76-character line, as mailers write base64.
    const std::string line = "TWFpbCBpcyBub3QgYSBmaWxlIHN5c3RlbSwgYnV0IHNvbWV0aW1lcyBpdCBoYXMgdG8gYWN0IGxp\r\n";
    constexpr std::uint64_t kLines = 200 * kMiB / 57 + 1;  // 200 MiB decoded
    std::int64_t attachmentSize = -1;
    const std::int64_t peak = PeakHeapOf([&] {
        GeneratedStream mail({{"Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
                               "Content-Type: application/octet-stream\r\n"
                               "Content-Transfer-Encoding: base64\r\n\r\n",
                               1},
                              {line, kLines},
                              {"--b--\r\n", 1}});
        TIdMessage message;
        message.SetAttachmentTempDirectory(folder.Path());
        message.LoadMessageStream(mail);
        if (message.Parts.Count() == 1)
            attachmentSize = static_cast<std::int64_t>(
                std::filesystem::file_size(dynamic_cast<TIdAttachmentFile&>(message.Parts.Items(0)).TempPath));
        // The message and its file go before the child reports.
    });

#ifdef KQV_COUNT_HEAP
    EXPECT_EQ(attachmentSize, static_cast<std::int64_t>(kLines * 57));
#endif
    ASSERT_GE(peak, 0);
    EXPECT_LT(peak, 16 * kMiB) << "peak heap while loading: " << peak / kMiB << " MiB";
    EXPECT_TRUE(folder.Entries().empty());
}

TEST(MemoryBound, TextPartCostsItsLinesOnly) {
    ScratchFolder folder;
    constexpr std::uint64_t kLines = 32 * kMiB / 64;  // 32 MiB of text in 64-byte lines
    const std::int64_t peak = PeakHeapOf([&] {
        GeneratedStream mail({{"Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
                               "Content-Type: text/plain\r\n\r\n",
                               1},
                              {std::string(62, 't') + "\r\n", kLines},
                              {"--b--\r\n", 1}});
        TIdMessage message;
        message.SetAttachmentTempDirectory(folder.Path());
        message.LoadMessageStream(mail);
    });

    ASSERT_GE(peak, 0);
    // The part's lines and nothing else of that size: each line is a string
    // of its own, which costs more than its bytes, but the text is never
    // held a second time as a whole.
    EXPECT_LT(peak, 2 * 32 * kMiB) << "peak heap while loading: " << peak / kMiB << " MiB";
}

}  // namespace
