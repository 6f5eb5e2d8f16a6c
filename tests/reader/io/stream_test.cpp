// TFileStream buffers writes in a buffer that starts small and grows; what
// reaches the file must be every byte in order, whatever the piece sizes.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "reader/io/stream.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FileStreamWrites : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "kqv-stream-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        ::unlink(Path().c_str());
        ::rmdir(dir_.c_str());
    }
    std::string Path() const { return dir_ + "/out.bin"; }

    std::string dir_;
};

TEST_F(FileStreamWrites, PiecesOfEverySizeArriveInOrder) {
    struct Row {
        const char* name;
        std::vector<std::size_t> sizes;
    };
    const Row rows[] = {
        {"nothing", {}},
        {"one small piece", {57}},
        {"fills the first buffer exactly", {16 * 1024}},
        {"small pieces past several growths", std::vector<std::size_t>(20000, 59)},
        {"piece larger than the grown buffer", {100, 40000, 100}},
        {"piece of the full buffer size is written directly", {10, 256 * 1024, 10}},
        {"huge piece first", {1024 * 1024 + 3, 5}},
    };
    std::mt19937 rng(99);
    for (const Row& row : rows) {
        std::string expected;
        {
            TFileStream file(Path(), TFileStream::Mode::CreateTruncate);
            for (const std::size_t size : row.sizes) {
                std::string piece(size, '\0');
                for (char& c : piece) c = static_cast<char>(rng());
                file.WriteString(piece);
                expected += piece;
                ASSERT_EQ(file.Position(), static_cast<std::int64_t>(expected.size())) << row.name;
            }
            EXPECT_EQ(file.Size(), static_cast<std::int64_t>(expected.size())) << row.name;
            file.Close();
        }
        EXPECT_EQ(ReadFile(Path()), expected) << row.name;
    }
}

TEST_F(FileStreamWrites, RandomPieceSizes) {
    std::mt19937 rng(7);
    std::string expected;
    {
        TFileStream file(Path(), TFileStream::Mode::CreateTruncate);
        for (int i = 0; i < 400; ++i) {
            const std::size_t size = rng() % 4 == 0 ? rng() % 300000 : rng() % 200;
            std::string piece(size, static_cast<char>('a' + i % 26));
            file.WriteString(piece);
            expected += piece;
        }
    }  // the destructor flushes
    EXPECT_EQ(ReadFile(Path()), expected);
}

}  // namespace
