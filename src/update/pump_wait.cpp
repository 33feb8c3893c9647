#include "update/pump_wait.h"

#include "shared/global_api.h"

void WaitPumpingMessages(HANDLE event) {
  while (WaitForSingleObject(event, 10) == WAIT_TIMEOUT) MsgPumpManager::Instance().DoProccess();
}
