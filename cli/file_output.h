// Output files are written beside their destination and put in its place
// only when complete, so a failed write never leaves half a file.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Calls write on a temporary file beside path, then replaces path with it;
// false (and nothing left behind) when any step fails.
bool WriteReplacing(const std::string& path, const std::function<bool(std::FILE*)>& write);
