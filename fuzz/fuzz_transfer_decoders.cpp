// Each transfer decoder fed with arbitrary bytes at arbitrary line splits.
#include "fuzz_walks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::RequireNoProblem(fuzz::TransferDecodersWalk(data, size));
    return 0;
}
