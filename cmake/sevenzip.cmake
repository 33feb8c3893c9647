# 7-Zip's 7z reader (IInArchive) with the LZMA, LZMA2, BCJ, BCJ2, Delta and
# Copy decoders, from Debian's 7-Zip source package, read-only and without
# encryption.
#
# The files that register codecs or build the CRC table from static
# constructors (CRC.cpp, the *Register.cpp files, DeltaFilter.cpp) export
# nothing, so a static link would drop them. They are left out here and
# compiled instead by src/archive/seven_zip_handler.cpp, which the extractor
# calls, so the linker always keeps them.
#
# Targets:
#   sevenzip          the static library
#   sevenzip_headers  include folder and defines for the few sources of ours
#                     that talk to the library (src/archive only)
# Variable SEVENZIP_DIR: the unpacked source tree.

zemora_find_source(SEVENZIP_DIR "7zip-*")

set(_cpp ${SEVENZIP_DIR}/CPP)
set(_c ${SEVENZIP_DIR}/C)

add_library(sevenzip STATIC
  ${_cpp}/Common/IntToString.cpp
  ${_cpp}/Common/MyString.cpp
  ${_cpp}/Common/MyVector.cpp
  ${_cpp}/Common/StringConvert.cpp
  ${_cpp}/Common/StringToInt.cpp
  ${_cpp}/Windows/PropVariant.cpp
  ${_cpp}/Windows/Synchronization.cpp
  ${_cpp}/Windows/System.cpp
  ${_cpp}/7zip/Common/CreateCoder.cpp
  ${_cpp}/7zip/Common/CWrappers.cpp
  ${_cpp}/7zip/Common/FilterCoder.cpp
  ${_cpp}/7zip/Common/InBuffer.cpp
  ${_cpp}/7zip/Common/LimitedStreams.cpp
  ${_cpp}/7zip/Common/MethodId.cpp
  ${_cpp}/7zip/Common/MethodProps.cpp
  ${_cpp}/7zip/Common/OutBuffer.cpp
  ${_cpp}/7zip/Common/ProgressUtils.cpp
  ${_cpp}/7zip/Common/PropId.cpp
  ${_cpp}/7zip/Common/StreamBinder.cpp
  ${_cpp}/7zip/Common/StreamObjects.cpp
  ${_cpp}/7zip/Common/StreamUtils.cpp
  ${_cpp}/7zip/Common/VirtThread.cpp
  ${_cpp}/7zip/Archive/Common/CoderMixer2.cpp
  ${_cpp}/7zip/Archive/Common/HandlerOut.cpp
  ${_cpp}/7zip/Archive/Common/ItemNameUtils.cpp
  ${_cpp}/7zip/Archive/Common/OutStreamWithCRC.cpp
  ${_cpp}/7zip/Archive/Common/ParseProperties.cpp
  ${_cpp}/7zip/Archive/7z/7zDecode.cpp
  ${_cpp}/7zip/Archive/7z/7zExtract.cpp
  ${_cpp}/7zip/Archive/7z/7zHandler.cpp
  ${_cpp}/7zip/Archive/7z/7zHeader.cpp
  ${_cpp}/7zip/Archive/7z/7zIn.cpp
  ${_cpp}/7zip/Archive/7z/7zProperties.cpp
  ${_cpp}/7zip/Compress/Bcj2Coder.cpp
  ${_cpp}/7zip/Compress/BcjCoder.cpp
  ${_cpp}/7zip/Compress/CopyCoder.cpp
  ${_cpp}/7zip/Compress/Lzma2Decoder.cpp
  ${_cpp}/7zip/Compress/LzmaDecoder.cpp
  ${_c}/7zCrc.c
  ${_c}/7zCrcOpt.c
  ${_c}/7zStream.c
  ${_c}/Alloc.c
  ${_c}/Bcj2.c
  ${_c}/Bra.c
  ${_c}/Bra86.c
  ${_c}/CpuArch.c
  ${_c}/Delta.c
  ${_c}/Lzma2Dec.c
  ${_c}/Lzma2DecMt.c
  ${_c}/LzmaDec.c
  ${_c}/MtDec.c
  ${_c}/Threads.c)

add_library(sevenzip_headers INTERFACE)
target_include_directories(sevenzip_headers SYSTEM INTERFACE ${_cpp})
target_compile_definitions(sevenzip_headers INTERFACE Z7_EXTRACT_ONLY Z7_NO_CRYPTO NDEBUG)
# The library's headers need the OLE types (BSTR, PROPVARIANT) that the
# project-wide WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
target_compile_options(sevenzip_headers INTERFACE -UWIN32_LEAN_AND_MEAN)

target_link_libraries(sevenzip PRIVATE sevenzip_headers INTERFACE oleaut32 uuid)
target_compile_options(sevenzip PRIVATE -w)
