#include <windows.h>

#include <algorithm>
#include <deque>
#include <utility>
#include <vector>

#include "shared/global_api.h"

IMsgPumpReciever::~IMsgPumpReciever() = default;

struct MsgPump::State {
  CRITICAL_SECTION lock;
  std::vector<IMsgPumpReciever*> observers;
};

struct MsgPumpManager::State {
  CRITICAL_SECTION lock;
  std::deque<std::pair<MsgPump*, PumpMessage>> queue;
};

MsgPump::MsgPump() : state(new State) { InitializeCriticalSection(&state->lock); }

MsgPump::~MsgPump() {
  MsgPumpManager::Instance().Forget(this);
  DeleteCriticalSection(&state->lock);
  delete state;
}

void MsgPump::AddObserver(IMsgPumpReciever* observer) {
  EnterCriticalSection(&state->lock);
  if (std::find(state->observers.begin(), state->observers.end(), observer) ==
      state->observers.end()) {
    state->observers.push_back(observer);
  }
  LeaveCriticalSection(&state->lock);
}

void MsgPump::RemoveObserver(IMsgPumpReciever* observer) {
  EnterCriticalSection(&state->lock);
  state->observers.erase(std::remove(state->observers.begin(), state->observers.end(), observer),
                         state->observers.end());
  LeaveCriticalSection(&state->lock);
}

void MsgPump::Post(const PumpMessage& message) { MsgPumpManager::Instance().Enqueue(this, message); }

void MsgPump::Deliver(const PumpMessage& message) {
  EnterCriticalSection(&state->lock);
  std::vector<IMsgPumpReciever*> observers = state->observers;
  LeaveCriticalSection(&state->lock);
  for (IMsgPumpReciever* observer : observers) observer->OnPumpMessage(&message);
}

MsgPumpManager::MsgPumpManager() : state(new State) { InitializeCriticalSection(&state->lock); }

MsgPumpManager& MsgPumpManager::Instance() {
  static MsgPumpManager* manager = new MsgPumpManager;  // outlives every pump
  return *manager;
}

void MsgPumpManager::Enqueue(MsgPump* pump, const PumpMessage& message) {
  EnterCriticalSection(&state->lock);
  state->queue.emplace_back(pump, message);
  LeaveCriticalSection(&state->lock);
}

void MsgPumpManager::Forget(MsgPump* pump) {
  EnterCriticalSection(&state->lock);
  for (auto& entry : state->queue) {
    if (entry.first == pump) entry.first = nullptr;
  }
  LeaveCriticalSection(&state->lock);
}

void MsgPumpManager::DoProccess() {
  // Take what is queued now; messages posted meanwhile wait for the next call.
  EnterCriticalSection(&state->lock);
  std::deque<std::pair<MsgPump*, PumpMessage>> pending;
  pending.swap(state->queue);
  LeaveCriticalSection(&state->lock);
  for (auto& entry : pending) {
    if (entry.first) entry.first->Deliver(entry.second);
  }
}
