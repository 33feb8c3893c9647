// Fixture archives and folder comparisons for the extractor's tests.
#pragma once

#include <windows.h>

#include <map>
#include <string>

// A file of the fixture folder that the build makes (see make_fixtures.py).
std::wstring FixturePath(const std::wstring& name);
std::string ReadFixture(const std::wstring& name);

// One extraction the way the updater does it: create, extract, release.
HRESULT Extract(const std::string& archive, const std::wstring& folder);

// Everything below `folder`: files by relative path ("\"-separated) with their
// bytes, folders as the path followed by "\" with no bytes.
std::map<std::wstring, std::string> ReadTree(const std::wstring& folder);
