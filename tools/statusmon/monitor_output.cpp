#include "monitor_output.h"

#include <windows.h>

#include "app/status_codes.h"
#include "packet_names.h"

namespace {
const int kBarWidth = 30;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n,
                        nullptr, nullptr);
  }
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

MonitorOutput::MonitorOutput() : started(GetTickCount64()) {
  DWORD mode = 0;
  console = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

MonitorOutput::~MonitorOutput() {
  EndBar();
  if (transcript) std::fclose(transcript);
}

bool MonitorOutput::OpenTranscript(const std::wstring& path) {
  transcript = _wfopen(path.c_str(), L"wb");
  return transcript != nullptr;
}

unsigned long long MonitorOutput::Elapsed() const { return GetTickCount64() - started; }

void MonitorOutput::EndBar() {
  if (!barShown) return;
  std::fputs("\n", stdout);
  std::fflush(stdout);
  barShown = false;
}

void MonitorOutput::Line(const std::string& text) {
  EndBar();
  std::fputs(text.c_str(), stdout);
  std::fputs("\n", stdout);
  std::fflush(stdout);
}

void MonitorOutput::Transcript(const std::string& fields) {
  if (!transcript) return;
  std::fprintf(transcript, "{\"t_ms\":%llu,%s}\n", Elapsed(), fields.c_str());
  // Tests read the transcript while the run goes on.
  std::fflush(transcript);
}

void MonitorOutput::Connected(const std::wstring& pipe) {
  Line("connected to " + Utf8(pipe));
  Transcript("\"event\":\"connected\",\"pipe\":" + JsonString(Utf8(pipe)));
}

void MonitorOutput::NoServer(const std::wstring& pipe, unsigned long error) {
  Line("no updater on " + Utf8(pipe) + " (error " + std::to_string(error) + ")");
  Transcript("\"event\":\"no_server\",\"pipe\":" + JsonString(Utf8(pipe)) +
             ",\"error\":" + std::to_string(error));
}

void MonitorOutput::Packet(const StatusPacket& packet) {
  std::string parameter = packet.hasParameter ? std::to_string(packet.parameter) : "-";
  std::string meaning = PacketMeaning(packet);
  if (packet.kind != 0) meaning += " (kind " + std::to_string(packet.kind) + ")";

  std::string fields = "\"event\":\"packet\",\"size\":" + std::to_string(packet.size) +
                       ",\"kind\":" + std::to_string(packet.kind) +
                       ",\"code\":" + std::to_string(packet.code) + ",\"parameter\":" +
                       (packet.hasParameter ? std::to_string(packet.parameter) : "null") +
                       ",\"name\":" + JsonString(CodeName(packet.code));
  if (packet.code == status::kEngineStateRequest || packet.code == status::kAppStateRequest) {
    fields += ",\"state\":" + JsonString(TrackStateName(packet.parameter));
  }
  Transcript(fields);

  char head[32];
  std::snprintf(head, sizeof head, "%d %-4s ", packet.code, parameter.c_str());
  if (console && packet.code == status::kDownloading && packet.hasParameter) {
    int percent = packet.parameter < 0 ? 0 : packet.parameter > 100 ? 100 : packet.parameter;
    int filled = percent * kBarWidth / 100;
    std::string bar = "\r" + std::string(head) + "[" + std::string(filled, '#') +
                      std::string(kBarWidth - filled, '-') + "] " + std::to_string(percent) +
                      "%";
    std::fputs(bar.c_str(), stdout);
    std::fflush(stdout);
    barShown = true;
    return;
  }
  Line(head + meaning);
}

void MonitorOutput::BadPacket() {
  Line("bad packet size: the stream cannot be followed any further");
  Transcript("\"event\":\"bad_packet\"");
}

void MonitorOutput::Closed() {
  Line("pipe closed");
  Transcript("\"event\":\"closed\"");
}

void MonitorOutput::End(const char* outcome, int exitCode) {
  Line(std::string("outcome: ") + outcome);
  Transcript(std::string("\"event\":\"end\",\"outcome\":") + JsonString(outcome) +
             ",\"exit_code\":" + std::to_string(exitCode));
}
