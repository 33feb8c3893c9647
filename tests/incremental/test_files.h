// Small helpers shared by the incremental tests.
#pragma once

#include <string>

// Writes `name` (a relative path) under `folder`, creating its folders.
void Put(const std::wstring& folder, const std::wstring& name, const std::string& bytes = "x");
// ASCII texts between the wide paths and the narrow log lines.
std::string Narrow(const std::wstring& text);
std::wstring Wide(const std::string& text);
