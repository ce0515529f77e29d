// The boundary of every plain C export: no exception crosses it.
#pragma once

#include "log/Log.h"

#include <exception>

namespace zuk {

// Runs `body` and returns its result; if it throws, logs what was thrown
// under the export's `name` and returns `failure` instead.
template <class Result, class Body>
Result guardExport(const char* name, Result failure, Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::exception& error) {
        LogString("ZUK: Error. ");
        LogString(name);
        LogString(" stopped: ");
        LogString(error.what());
        LogString("\n");
    } catch (...) {
        LogString("ZUK: Error. ");
        LogString(name);
        LogString(" stopped on an unknown exception\n");
    }
    return failure;
}

} // namespace zuk
