// A library for the in-use test to load: its file is then mapped as an image.
#include <windows.h>

extern "C" __declspec(dllexport) int ArchiveProbe() { return 7; }
