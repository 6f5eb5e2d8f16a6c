// Every input that ever failed a reader fuzz target, replayed through the
// same walk the fuzzer does: tests/data/fuzz-regressions/<target>/<file>.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_walks.h"
#include "reader/message/resource_bounds_support.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> RegressionInputs(const std::string& target) {
    std::vector<fs::path> files;
    const fs::path dir = fs::path(KQV_TEST_DATA_DIR) / "fuzz-regressions" / target;
    if (fs::is_directory(dir))
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FuzzRegressions, ReaderTargetsReplayTheirFindings) {
    const std::string savedTz = std::getenv("TZ") ? std::getenv("TZ") : "";
    const bool hadTz = std::getenv("TZ") != nullptr;
    int replayed = 0;
    for (const char* target :
         {"fuzz_load", "fuzz_encoded_words", "fuzz_address_list", "fuzz_mail_date", "fuzz_transfer_decoders"}) {
        for (const fs::path& file : RegressionInputs(target)) {
            SCOPED_TRACE(std::string(target) + "/" + file.filename().string());
            const std::string bytes = Bytes(file);
            const std::string_view view(bytes);
            std::string problem;
            if (std::string_view(target) == "fuzz_load") {
                resource_bounds::ScratchFolder folder;
                problem = fuzz::LoadWalk(view, folder.Path());
            } else if (std::string_view(target) == "fuzz_encoded_words") {
                problem = fuzz::EncodedWordsWalk(view);
            } else if (std::string_view(target) == "fuzz_address_list") {
                problem = fuzz::AddressListWalk(view);
            } else if (std::string_view(target) == "fuzz_mail_date") {
                problem = fuzz::MailDateWalk(view);
            } else {
                problem = fuzz::TransferDecodersWalk(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                     bytes.size());
            }
            EXPECT_EQ(problem, "");
            ++replayed;
        }
    }
    if (hadTz) {
        setenv("TZ", savedTz.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
    RecordProperty("replayed", replayed);
}

}  // namespace
