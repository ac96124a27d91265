#include "core/shared_state.h"

namespace tamovox {

namespace {
// Never freed: threads that end only with the process keep using it while exit() runs
// (a lost display makes the toolkit call exit()), so it must have no destructor to run.
SharedState& g_shared = *new SharedState();
}  // namespace

SharedState& shared() { return g_shared; }

bool pushToTalkPressed()
{
    PushToTalk& ptt = g_shared.pushToTalk;
    std::lock_guard lock(ptt.pushToTalkLock);
    return ptt.manualState == kPttPressed || ptt.deviceState == kPttPressed;
}

void setManualPushToTalk(int state)
{
    PushToTalk& ptt = g_shared.pushToTalk;
    std::lock_guard lock(ptt.pushToTalkLock);
    ptt.manualState = state;
}

void setDevicePushToTalk(int state)
{
    PushToTalk& ptt = g_shared.pushToTalk;
    std::lock_guard lock(ptt.pushToTalkLock);
    ptt.deviceState = state;
}

void setAccountNumber(std::uint16_t number)
{
    Identity& id = g_shared.identity;
    id.accountNumberBytes[0].store(static_cast<std::uint8_t>(number >> 8), std::memory_order_relaxed);
    id.accountNumberBytes[1].store(static_cast<std::uint8_t>(number & 0xFF), std::memory_order_relaxed);
    id.accountNumber.store(number, std::memory_order_relaxed);
}

}  // namespace tamovox
