// The operations of the maker's shared library global.dll that the updater
// calls. Names are spelled as the library spells them.
#pragma once

#include <cstdint>
#include <string>

#ifdef ZEMORA_GLOBAL_BUILD
#define GLOBAL_API __declspec(dllexport)
#else
#define GLOBAL_API __declspec(dllimport)
#endif

class GLOBAL_API CFileOperation {
 public:
  // The work folder joined with `relativePath`; an empty path gives the folder
  // itself, ending in a backslash. %LOCALAPPDATA%\Zemora\ unless the
  // environment variable ZEMORA_WORK_DIR names another folder.
  static std::wstring MakeWorkPath(const std::wstring& relativePath);
  // The user's documents folder for Zemora joined with `relativePath`.
  static std::wstring MakeDocPath(const std::wstring& relativePath);
};

class GLOBAL_API CMD5Checksum {
 public:
  // Lower-case hexadecimal MD5 of the file's bytes, read in fixed-size pieces.
  // A missing or unreadable file gives a text that equals no MD5.
  static std::wstring GetMD5(const std::wstring& path);
};

class GLOBAL_API Crc32Utils {
 public:
  // Standard CRC-32 (zlib's), continued from `seed` (0 to start).
  static uint32_t CRC32(uint32_t seed, const void* data, uint32_t length);
};

class GLOBAL_API OsUtils {
 public:
  // The first network adapter's MAC address as "XX-XX-XX-XX-XX-XX"; empty when
  // there is none.
  static std::string GetMacAddress();
};

class GLOBAL_API CStrOperation {
 public:
  // Widens an 8-bit text (UTF-8 when valid, else the ANSI code page).
  static std::wstring Str2WStr(const std::string& text);
};

class GLOBAL_API ZemoraHttpUtils {
 public:
  // One HTTP(S) GET of `url`. Returns 0 on success (a 2xx status) with the
  // response bytes in `body`; any other value is a failure. `status` and
  // `headers`, when given, receive the HTTP status and the response headers.
  // `mode` selects transport options (the updater passes 3); `reserved` is
  // null.
  static int Get(const std::wstring& url, std::string& body, int* status, std::string* headers,
                 int mode, const void* reserved);
};

// Message codes the downloader posts.
enum ePumpMessageCode {
  ePumpMsg_Progress = 6,
  ePumpMsg_Done = 9,
  ePumpMsg_Failed = 10,
  ePumpMsg_Cancelled = 11,
};

// A message delivered by a MsgPump to its observers.
struct PumpMessage {
  int32_t code;    // 6 progress, 9 done, 10 failed, 11 cancelled
  uint32_t total;  // amount to transfer; 0 while unknown
  uint32_t done;   // amount transferred so far
};

class GLOBAL_API IMsgPumpReciever {
 public:
  virtual ~IMsgPumpReciever();
  virtual void OnPumpMessage(const PumpMessage* message) = 0;
};

class MsgPumpQueue;

// A source of messages. Messages posted from any thread are queued and
// delivered to the observers on the thread that calls
// MsgPumpManager::Instance().DoProccess().
class GLOBAL_API MsgPump {
 public:
  MsgPump();
  virtual ~MsgPump();
  MsgPump(const MsgPump&) = delete;
  MsgPump& operator=(const MsgPump&) = delete;

  void AddObserver(IMsgPumpReciever* observer);
  void RemoveObserver(IMsgPumpReciever* observer);
  // Queues a message for delivery; safe from any thread.
  void Post(const PumpMessage& message);

 private:
  friend class MsgPumpManager;
  void Deliver(const PumpMessage& message);
  struct State;
  State* state;
};

class GLOBAL_API MsgPumpManager {
 public:
  static MsgPumpManager& Instance();
  // Delivers every queued message to its pump's observers, on this thread.
  void DoProccess();

 private:
  friend class MsgPump;
  MsgPumpManager();
  void Enqueue(MsgPump* pump, const PumpMessage& message);
  void Forget(MsgPump* pump);
  struct State;
  State* state;
};

enum eDownloadDataType { eDownloadData_Default = 0, eDownloadData_Package = 9 };

// A background transfer of one URL into one file: the bytes go to FILE.tdl,
// which is renamed to FILE when complete. Progress is posted as code 6; every
// started download ends with exactly one of 9 (done), 10 (failed) or 11
// (cancelled).
class GLOBAL_API OstrelDownloader : public MsgPump {
 public:
  explicit OstrelDownloader(bool ownThread);
  ~OstrelDownloader() override;

  void SetDownloadInfo(const std::wstring& url, const std::wstring& file, eDownloadDataType type);
  // Starts the transfer in the background; returns 0 when it was started.
  int Start(int priority, int resumeOffset, int flags);
  // Asks a running transfer to stop; it then ends with 11.
  void Cancel();

 private:
  struct State;
  State* state;
};
