// Result codes: 0 is success; DOS error numbers as the system reports them;
// the program's own codes 30001 to 30033 (the message table); iffparse
// errors mapped to 30015 - error; CODE_NEXT and CODE_STOP for the user.
#pragma once

#include <cstdint>

namespace lanterna {

constexpr int32_t CODE_NEXT = 304;    // the user ended a picture before it was drawn
constexpr int32_t CODE_STOP = 30034;  // the user asked to stop the whole run

constexpr int32_t ERR_INTUITION = 30001;
constexpr int32_t ERR_GRAPHICS = 30002;
constexpr int32_t ERR_ICON = 30003;
constexpr int32_t ERR_UTILITY = 30004;
constexpr int32_t ERR_ASL = 30005;
constexpr int32_t ERR_IFFPARSE = 30006;
constexpr int32_t ERR_CYBERGRAPHICS = 30007;
constexpr int32_t ERR_MSGPORT = 30008;
constexpr int32_t ERR_TIMER_REQUEST = 30009;
constexpr int32_t ERR_TIMER_DEVICE = 30010;
constexpr int32_t ERR_OUT_OF_MEMORY = 30011;
constexpr int32_t ERR_WINDOW = 30012;
constexpr int32_t ERR_SCREEN = 30013;
constexpr int32_t ERR_FILE_REQUESTER = 30014;
constexpr int32_t IFF_CODE_BASE = 30015;
constexpr int32_t ERR_CORRUPT = 30023;  // "Data in file is corrupt"
constexpr int32_t ERR_NOT_IFF = 30025;
constexpr int32_t ERR_COMPRESSION = 30027;
constexpr int32_t ERR_NOT_ILBM = 30028;
constexpr int32_t ERR_NO_SCREEN_MODE = 30029;  // "Requested screen mode is not available"
constexpr int32_t ERR_SCREEN_SIZE = 30030;     // "Requested screen size is too large"

// 30015 - error, for a negative iffparse error.
constexpr int32_t IffResultCode(int32_t error) { return IFF_CODE_BASE - error; }

}  // namespace lanterna
