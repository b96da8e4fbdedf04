// Serving Qt's events in the desktop program's tests.
#pragma once

#include <functional>

// Serves events until `done` holds or `timeoutMs` passes; returns whether it holds.
bool ServeUntil(const std::function<bool()>& done, int timeoutMs = 30000);
