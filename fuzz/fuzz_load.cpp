// The whole load from bytes over a memory stream.
#include "fuzz_walks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::RequireNoProblem(
        fuzz::LoadWalk(std::string_view(reinterpret_cast<const char*>(data), size), fuzz::ScratchDir()));
    return 0;
}
