// The internet library (library number 2): page retrieval over HTTP.
//
// The library keeps one platform client handle for the whole run: the first
// fetch that needs it opens it, later fetches reuse it, a failed open is
// tried again by the next fetch, and the end notification closes it.
#pragma once

#include <cstdint>

#include "runtime/library.h"
#include "runtime/value.h"

namespace bv {

// HttpGetPage(address text) -> byte set: every body byte received, in order;
// null when none arrived, whatever the reason. Never reports an error.
void HttpGetPage(ValueRecord* result, std::int32_t argc, const ValueRecord* args);

// The library record to register under kInternetLibrary. Its notification
// kNotifyEnd closes the client handle.
const LibraryInfo& InternetLibrary();

}  // namespace bv
