// The association of .apk files with the installed APK tool.
#pragma once

#include <string>

#include "base/handles.h"

// Decides whether the association may be (re)written. Leaves it alone for the
// channel "Wandoujia" (any letter case), without an HKCR\.apk key, and when
// the key's default value is a properly stored text other than our program
// ID (empty included). When the answer is yes, `apkKey` holds HKCR\.apk open
// for reading and writing.
bool AssociationMayBeWritten(const std::wstring& channel, zemora::UniqueHkey& apkKey);

// Points the program ID at `versionFolder`\ApkTool.exe and makes it the .apk
// handler, machine-wide and for the user. `heldKey` is the one key handle of
// the whole sequence: each new key is created before the one held so far is
// closed, and the last one stays held. Stops at the first failure, which is
// logged.
void WriteApkAssociation(const std::wstring& versionFolder, zemora::UniqueHkey& heldKey);
