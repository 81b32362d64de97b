#include "DriverClsid.h"

namespace rk50 {

// {7B3E5C21-4A9D-4F62-9C1B-52D0A7E6F3B4}
const CLSID CLSID_VarnelRK50ASIO = {
    0x7b3e5c21, 0x4a9d, 0x4f62, {0x9c, 0x1b, 0x52, 0xd0, 0xa7, 0xe6, 0xf3, 0xb4}};

}  // namespace rk50
