// The library's interface IDs are defined here, in exactly one translation
// unit: MyInitGuid.h must come before every interface header.
#include "Common/MyInitGuid.h"

#include "7zip/Archive/IArchive.h"
#include "7zip/ICoder.h"
#include "7zip/IPassword.h"
#include "7zip/IProgress.h"
#include "7zip/IStream.h"

#include "7zip/Archive/7z/7zHandler.h"

// These build the CRC table and register the decoders from static
// constructors and export nothing, so a static library link would drop them.
// Compiled into this file, which the extractor always calls, they stay.
#include "Common/CRC.cpp"
#include "7zip/Compress/Bcj2Register.cpp"
#include "7zip/Compress/BcjRegister.cpp"
#include "7zip/Compress/CopyRegister.cpp"
#include "7zip/Compress/DeltaFilter.cpp"
#include "7zip/Compress/Lzma2Register.cpp"
#include "7zip/Compress/LzmaRegister.cpp"

#include <new>

#include "archive/seven_zip_handler.h"

IInArchive* CreateSevenZipArchive() {
  IInArchive* archive = new (std::nothrow) NArchive::N7z::CHandler;
  if (archive) archive->AddRef();
  return archive;
}
