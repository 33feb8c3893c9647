// The adapters' answers to the library, checked directly.
#include <gtest/gtest.h>

#include "archive/seven_zip_adapters.h"

namespace {

const char kBlock[] = "0123456789";
const UINT32 kSize = 10;

TEST(InStreamTest, SeekFromEachOrigin) {
  struct Case {
    Int64 offset;
    UInt32 origin;
    UInt64 expected;
  };
  // The position starts at 4 for each case.
  const Case cases[] = {{3, 0, 3}, {3, 1, 7}, {-3, 1, 1}, {-2, 2, 8}, {5, 2, 15}, {0, 2, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    CMyComPtr<IInStream> stream = new CKSInStream(kBlock, kSize);
    ASSERT_EQ(stream->Seek(4, 0, nullptr), S_OK);
    UInt64 position = 99;
    EXPECT_EQ(stream->Seek(c.offset, c.origin, &position), S_OK);
    EXPECT_EQ(position, c.expected);
  }
}

TEST(InStreamTest, UnknownOriginChangesNothing) {
  CMyComPtr<IInStream> stream = new CKSInStream(kBlock, kSize);
  ASSERT_EQ(stream->Seek(4, 0, nullptr), S_OK);
  UInt64 position = 99;
  EXPECT_EQ(stream->Seek(1, 3, &position), static_cast<HRESULT>(0x80030001));
  EXPECT_EQ(position, 99u);
  EXPECT_EQ(stream->Seek(0, 1, &position), S_OK);
  EXPECT_EQ(position, 4u);
}

TEST(InStreamTest, ReadsInPlaceAndFailsAtOrPastTheEnd) {
  CMyComPtr<IInStream> stream = new CKSInStream(kBlock, kSize);
  char buffer[16] = {};
  UInt32 processed = 99;
  EXPECT_EQ(stream->Seek(7, 0, nullptr), S_OK);
  EXPECT_EQ(stream->Read(buffer, 16, &processed), S_OK);
  EXPECT_EQ(processed, 3u);
  EXPECT_EQ(std::string(buffer, 3), "789");
  // At the end, past it, and before the start (a seek does not check).
  for (Int64 position : {Int64{10}, Int64{11}, Int64{-1}, Int64{0x100000000LL}}) {
    SCOPED_TRACE(position);
    EXPECT_EQ(stream->Seek(position, 0, nullptr), S_OK);
    processed = 99;
    EXPECT_EQ(stream->Read(buffer, 1, &processed), E_FAIL);
    EXPECT_EQ(processed, 0u);
  }
}

TEST(InStreamTest, AnswersOnlyItsOwnInterfaces) {
  CMyComPtr<IInStream> stream = new CKSInStream(kBlock, kSize);
  void* object = nullptr;
  EXPECT_EQ(stream->QueryInterface(IID_IUnknown, &object), S_OK);
  EXPECT_EQ(object, static_cast<void*>(static_cast<IUnknown*>(stream.Interface())));
  static_cast<IUnknown*>(object)->Release();
  EXPECT_EQ(stream->QueryInterface(IID_IInStream, &object), S_OK);
  EXPECT_EQ(object, static_cast<void*>(stream.Interface()));
  static_cast<IUnknown*>(object)->Release();
  EXPECT_EQ(stream->QueryInterface(IID_IOutStream, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
}

}  // namespace
