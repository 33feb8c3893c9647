# libzstd's decoder (Debian's source package), for patch.exe.
zemora_find_source(ZSTD_DIR "libzstd-*")
set(ZSTD_LIB_DIR ${ZSTD_DIR}/lib)
add_library(zstd_decompress STATIC
  ${ZSTD_LIB_DIR}/common/debug.c
  ${ZSTD_LIB_DIR}/common/entropy_common.c
  ${ZSTD_LIB_DIR}/common/error_private.c
  ${ZSTD_LIB_DIR}/common/fse_decompress.c
  ${ZSTD_LIB_DIR}/common/xxhash.c
  ${ZSTD_LIB_DIR}/common/zstd_common.c
  ${ZSTD_LIB_DIR}/decompress/huf_decompress.c
  ${ZSTD_LIB_DIR}/decompress/zstd_ddict.c
  ${ZSTD_LIB_DIR}/decompress/zstd_decompress.c
  ${ZSTD_LIB_DIR}/decompress/zstd_decompress_block.c)
target_include_directories(zstd_decompress SYSTEM PUBLIC ${ZSTD_LIB_DIR})
# The x86-64 assembly and the legacy formats do not apply to a 32-bit decoder
# of frames made by the current CLI.
target_compile_definitions(zstd_decompress PRIVATE ZSTD_DISABLE_ASM ZSTD_LEGACY_SUPPORT=0)
target_compile_options(zstd_decompress PRIVATE -w -O3)
