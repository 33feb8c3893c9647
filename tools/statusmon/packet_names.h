// Human-readable names of the status pipe's codes and track states.
#pragma once

#include <cstdint>
#include <string>

#include "protocol_client.h"

// "NoUpdate" for 3; "Unknown" outside 0 .. 8.
const char* TrackStateName(int32_t state);
// A short identifier for a code, e.g. "Downloading" for 2009, "EngineState"
// for 1008; "Unknown" for codes the protocol does not define.
const char* CodeName(int32_t code);
// One sentence on what the packet says, parameter included.
std::string PacketMeaning(const StatusPacket& packet);
