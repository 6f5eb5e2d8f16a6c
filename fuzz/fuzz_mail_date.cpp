// MailDateToLocal under several time zones.
#include "fuzz_walks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::RequireNoProblem(fuzz::MailDateWalk(std::string_view(reinterpret_cast<const char*>(data), size)));
    return 0;
}
