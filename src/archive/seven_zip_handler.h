// Creates 7-Zip's 7z archive object. Kept apart so that only this file and
// the adapters see the library's headers.
#pragma once

struct IInArchive;

// A new 7z archive object holding one reference, or null.
IInArchive* CreateSevenZipArchive();
