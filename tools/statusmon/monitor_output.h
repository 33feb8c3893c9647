// What statusmon prints: a line per packet on standard output (with a
// progress bar for downloads when that is a console) and, on request, a
// transcript of JSON lines for programs that follow the run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "protocol_client.h"

class MonitorOutput {
 public:
  MonitorOutput();
  ~MonitorOutput();
  MonitorOutput(const MonitorOutput&) = delete;
  MonitorOutput& operator=(const MonitorOutput&) = delete;

  // False when the file cannot be created.
  bool OpenTranscript(const std::wstring& path);
  void Connected(const std::wstring& pipe);
  void NoServer(const std::wstring& pipe, unsigned long error);
  void Packet(const StatusPacket& packet);
  void BadPacket();
  void Closed();
  void End(const char* outcome, int exitCode);

 private:
  void Line(const std::string& text);
  void Transcript(const std::string& fields);
  void EndBar();
  unsigned long long Elapsed() const;

  bool console = false;
  bool barShown = false;
  FILE* transcript = nullptr;
  unsigned long long started = 0;
};

// `text` as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);
// UTF-8 of a wide string.
std::string Utf8(const std::wstring& text);
