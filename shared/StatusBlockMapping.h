// Opening the named status block, the same steps on the driver's and the
// panel's side: open the mapping, else create it; the creator zeroes the block
// and writes the magic. Each process maps and unmaps its own view.
#pragma once

#include "RK50Constants.h"

#include <windows.h>

namespace rk50 {

struct StatusBlockMapping {
    HANDLE mapping = nullptr;
    AsioStatusBlock* view = nullptr;
    bool created = false;  // this side created the block and zeroed it
};

// False when the block can neither be opened nor created, or not be mapped;
// the mapping is then left empty.
bool openStatusBlockMapping(StatusBlockMapping& block);
void closeStatusBlockMapping(StatusBlockMapping& block);

// A view that may be used: mapped, and carrying our magic.
inline bool isStatusBlockValid(const AsioStatusBlock* view)
{
    return view && view->magic == kStatusBlockMagic;
}

}  // namespace rk50
