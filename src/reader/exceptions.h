#pragma once
// The reader's error family. Texts are fixed English strings: the GUI shows
// them verbatim, kqv-dump prints them, and callers never parse them.

#include <stdexcept>
#include <string>

class EIdException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

#define KQV_DECLARE_EXCEPTION(Name, Base)      \
    class Name : public Base {                 \
    public:                                    \
        using Base::Base;                      \
    }

KQV_DECLARE_EXCEPTION(EIdTooMuchDataInBuffer, EIdException);
KQV_DECLARE_EXCEPTION(EIdNotEnoughDataInBuffer, EIdException);
KQV_DECLARE_EXCEPTION(EIdConnClosedGracefully, EIdException);
KQV_DECLARE_EXCEPTION(EIdReadTimeout, EIdException);
KQV_DECLARE_EXCEPTION(EIdNotConnected, EIdException);
KQV_DECLARE_EXCEPTION(EIdMessageCannotLoad, EIdException);
KQV_DECLARE_EXCEPTION(EIdCanNotCreateMessagePart, EIdException);
KQV_DECLARE_EXCEPTION(EIdMissingColon, EIdException);
KQV_DECLARE_EXCEPTION(EIdFailedToRetreiveTimeZoneInfo, EIdException);
// Out-of-range data in a decoder (8-bit bytes in base64, a BinHex run marker
// at the edge, a truncated BinHex header).
KQV_DECLARE_EXCEPTION(ERangeError, EIdException);
// File-system failures: opening, creating, writing.
KQV_DECLARE_EXCEPTION(EFileError, EIdException);
KQV_DECLARE_EXCEPTION(EFOpenError, EFileError);
KQV_DECLARE_EXCEPTION(EFCreateError, EFileError);
KQV_DECLARE_EXCEPTION(EWriteError, EFileError);

#undef KQV_DECLARE_EXCEPTION

inline constexpr const char* kRangeErrorText = "Range check error";
