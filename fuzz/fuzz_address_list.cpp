#include <cstddef>
#include <cstdint>
#include <string_view>

#include "reader/headers/email_address.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TIdEMailAddressList list;
    list.ParseAddressList(std::string_view(reinterpret_cast<const char*>(data), size));
    for (int i = 0; i < list.Count(); ++i) {
        const std::string text = list.Items(i).Text();
        // Reading back through Text must parse again without trouble.
        TIdEMailAddressItem again;
        again.SetText(text);
        (void)again.Domain();
        (void)again.User();
    }
    return 0;
}
